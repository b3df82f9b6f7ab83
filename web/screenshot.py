#!/usr/bin/env python3
"""Takes the README's picture of the page, with the sample heart loaded and wired serpentine.

    screenshot.py PAGE PNG

PAGE is the built tivrano.html; PNG is where the picture goes (doc/page.png for the README).
It needs Chromium, its driver and Selenium (apt-get install chromium chromium-driver
python3-selenium).
"""
import pathlib
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service

HEART = pathlib.Path(__file__).resolve().parent.parent / "examples" / "heart.bmp"


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    page, picture = pathlib.Path(sys.argv[1]).resolve(), pathlib.Path(sys.argv[2])
    with tempfile.TemporaryDirectory() as profile:
        options = Options()
        options.binary_location = "/usr/bin/chromium"
        for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
                         "--hide-scrollbars", "--force-device-scale-factor=1",
                         "--window-size=1200,1250", f"--user-data-dir={profile}"):
            options.add_argument(argument)
        browser = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        try:
            browser.get(page.as_uri() + "#serpentine=1&name=heart")
            status = browser.find_element("id", "status")
            browser.find_element("id", "file").send_keys(str(HEART))
            end = time.monotonic() + 30
            while status.text != "Converted.":
                if time.monotonic() > end:
                    sys.exit(f"the page did not convert the heart: {status.text!r}")
                time.sleep(0.05)
            browser.save_screenshot(str(picture))
        finally:
            browser.quit()


if __name__ == "__main__":
    main()
