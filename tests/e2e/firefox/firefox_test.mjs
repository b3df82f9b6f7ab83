// Checks the page, tivrano.html, in headless Firefox ESR opened from file://, against the tool,
// driven by puppeteer-core over WebDriver BiDi:
//
//     node firefox_test.mjs PAGE TIVRANO
//
// - window.tivrano.convert writes what the tool writes, byte for byte, with its status and its
//   standard error, on the cases of web_test.py (the fuzzer's seeds and the heart under its sets
//   of options, and its animations);
// - the file input and #output on the heart, and the file #download saves; the file
//   #download-binary saves for a packed GIF, which --binary writes;
// - an animated GIF chosen in the file input, which the page's own decoder reads in Firefox,
//   comes out as the tool reads the file;
// - no request leaves the page but for the page itself, and nothing breaks its
//   Content-Security-Policy. The network is cut besides, through a proxy that answers nowhere.
//
// JPEG and WebP are decoded by the browser alone, each browser with decoders of its own, and the
// tool reads neither: they are not compared here.
//
// Exit status 77, with the reason, when the page is not built, or, outside CI, when Firefox ESR,
// Python or puppeteer-core (npm ci in this folder) is missing.
import { spawnSync } from "node:child_process";
import fs from "node:fs";
import http from "node:http";
import os from "node:os";
import path from "node:path";
import { fileURLToPath, pathToFileURL } from "node:url";

const HERE = path.dirname(fileURLToPath(import.meta.url));
const ROOT = path.resolve(HERE, "..", "..", "..");
const HEART = path.join(ROOT, "examples", "heart.bmp");
const GIF = path.join(ROOT, "examples", "animation", "frames", "pulse.gif");
const FIREFOX = "/usr/bin/firefox-esr";
// The tool's text of a large image runs to megabytes; spawnSync keeps 1 MiB by default.
const MAX_OUTPUT = 64 * 1024 * 1024;

function skip(reason) {
  if (process.env.CI) {
    console.log("FAILED, in CI: " + reason);
    process.exit(1);
  }
  console.log("skipped: " + reason);
  process.exit(77);
}

// The tool's output, status and standard error for files of `folder`, as the page calls it.
function native(tool, folder, names, options) {
  const args = [];
  for (const [key, value] of Object.entries(options)) {
    if (value === true) args.push("--" + key);
    else if (value !== false && value !== null && value !== "") args.push(`--${key}=${value}`);
  }
  const done = spawnSync(tool, [...args, "--", ...names], { cwd: folder, maxBuffer: MAX_OUTPUT });
  if (done.error) throw done.error;
  return { output: done.stdout, status: done.status === 0 ? 0 : -1,
           errors: done.stderr.toString() };
}

// web_test.py's cases, [[files in base64], options]: Chromium's test runs them all; here each
// image under one of its sets of options in turn, and every animation. (Starting the tool 900
// times takes a minute on a loaded machine; the page takes a second.)
function sharedCases() {
  const python = process.env.TIVRANO_PYTHON || "python3";
  const script = "import base64, json, sys\n" +
    "sys.path.insert(0, sys.argv[1])\n" +
    "from web_test import OPTION_SETS, convert_cases\n" +
    "cases = convert_cases()\n" +
    "sets = [[k for k, s in enumerate(OPTION_SETS) if s is options] for _, options in cases]\n" +
    "print(json.dumps([[[base64.b64encode(f).decode() for f in files], options,\n" +
    "                   (set or [-1])[0]] for (files, options), set in zip(cases, sets)]))\n";
  const done = spawnSync(python, ["-c", script, path.join(ROOT, "tests", "e2e")],
                         { maxBuffer: MAX_OUTPUT });
  if (done.error || done.status !== 0)
    skip(`${python} could not give web_test.py's cases: ${done.error || done.stderr}`);
  // Each case with the index of its set of options, or -1 for the animations.
  const cases = JSON.parse(done.stdout.toString());
  const sets = Math.max(...cases.map(([, , set]) => set)) + 1;
  return cases.filter(([, , set], k) => set === -1 || set === Math.floor(k / sets) % sets)
    .map(([files, options]) => [files, options]);
}

async function startBrowser(puppeteer, scratch, downloads) {
  return puppeteer.launch({
    browser: "firefox",
    executablePath: FIREFOX,
    headless: true,
    userDataDir: path.join(scratch, "profile"),
    // Firefox keeps caches under HOME: the scratch folder, like everything of this test.
    env: { ...process.env, TMPDIR: scratch, HOME: scratch, XDG_CACHE_HOME: scratch },
    protocolTimeout: 120000,
    extraPrefsFirefox: {
      // Every connection goes through a proxy on the discard port, where nothing answers.
      "network.proxy.type": 1,
      "network.proxy.http": "127.0.0.1",
      "network.proxy.http_port": 9,
      "network.proxy.ssl": "127.0.0.1",
      "network.proxy.ssl_port": 9,
      "network.proxy.no_proxies_on": "",
      "network.proxy.allow_hijacking_localhost": true,
      // Downloads go, without a question, into the scratch folder.
      "browser.download.folderList": 2,
      "browser.download.dir": downloads,
      "browser.download.useDownloadDir": true,
      "browser.download.always_ask_before_handling_new_types": false,
      "browser.download.start_downloads_in_tmp_dir": false,
      "browser.download.alwaysOpenPanel": false,
      "browser.helperApps.neverAsk.saveToDisk": "application/octet-stream,text/x-c,text/plain",
    },
  });
}

// The watch on requests can fail: from about:blank, which has no policy, a fetch of a server of
// this test is seen, and it fails, for the proxy is in the way; on the page, a fetch breaks the
// policy, which the listeners report. Returns the failures and the URL the probes asked for.
async function checkWatch(page, pageUrl, requests, consoleErrors) {
  let reached = 0;
  const server = http.createServer((_, response) => response.end(String(++reached)));
  await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
  const probe = `http://127.0.0.1:${server.address().port}/probe`;
  const failures = [];
  try {
    await page.goto("about:blank");
    await page.evaluate((url) => fetch(url, { mode: "no-cors" }).catch(() => null), probe);
    if (!requests.includes(probe)) failures.push(`the watch on requests did not see ${probe}`);
    if (reached) failures.push("a fetch from about:blank went past the proxy to this test");
    await load(page, pageUrl);
    await page.evaluate((url) => fetch(url).catch(() => null), probe);
    const end = Date.now() + 5000;
    while (!consoleErrors.some((e) => e.includes("Content-Security-Policy")) && Date.now() < end)
      await new Promise((resolve) => setTimeout(resolve, 50));
    if (!consoleErrors.some((e) => e.includes("Content-Security-Policy")))
      failures.push("a fetch that breaks the page's policy was not reported");
  } finally {
    server.close();
  }
  return { failures, probe };
}

async function load(page, pageUrl, fragment = "") {
  await page.goto("about:blank"); // a new fragment alone would not load the page again
  await page.goto(pageUrl + fragment);
  await page.waitForFunction(() => document.getElementById("status").textContent.includes("Ready"),
                             { timeout: 30000 });
}

async function checkConvert(page, tool, scratch) {
  const cases = sharedCases();
  const got = await page.evaluate(async (cases) => {
    const bytes = (b64) => Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
    const results = [];
    for (const [files, options] of cases) {
      const input = files.length === 1 && !options.name ? bytes(files[0]) : files.map(bytes);
      const r = await window.tivrano.convert(input, options);
      let binary = "";
      for (const b of r.output) binary += String.fromCharCode(b);
      results.push([btoa(binary), r.status, r.errors]);
    }
    return results;
  }, cases);
  const failures = [];
  cases.forEach(([files, options], k) => {
    const folder = path.join(scratch, `case${k}`);
    fs.mkdirSync(folder);
    const single = files.length === 1 && !options.name;
    const names = single ? ["image.bmp"] : files.map((_, n) => `frame${n + 1}.bmp`);
    names.forEach((name, n) => fs.writeFileSync(path.join(folder, name),
                                                Buffer.from(files[n], "base64")));
    const expected = native(tool, folder, names, options);
    const [output, status, errors] = got[k];
    if (!Buffer.from(output, "base64").equals(expected.output) || status !== expected.status ||
        errors !== expected.errors)
      failures.push(`case ${k}, options ${JSON.stringify(options)}: the page wrote status ` +
                    `${status}, ${JSON.stringify(errors)}; the tool ${expected.status}, ` +
                    JSON.stringify(expected.errors));
  });
  return { failures, count: cases.reduce((sum, [files]) => sum + files.length, 0) };
}

// The tool's text as a textarea gives it: each line break, \r\n, \n or \r, one \n.
function asShown(bytes) {
  return bytes.toString("latin1").replace(/\r\n/g, "\n").replace(/\r/g, "\n");
}

// Gives the file input this file and waits for the page to convert it (a status other than
// "Converting…"); returns #output.
async function choose(page, file) {
  await page.evaluate(() => { document.getElementById("status").textContent = ""; });
  const input = await page.$("#file");
  await input.uploadFile(file);
  await page.waitForFunction(() => {
    const status = document.getElementById("status").textContent;
    return status && !status.startsWith("Converting");
  }, { timeout: 60000 });
  return page.$eval("#output", (output) => output.value);
}

// Waits up to `seconds` for a download to leave `expected` in `file`: Firefox may make the file
// before it writes it, so a file that is there is read until it holds those bytes. Returns a
// failure, or nothing.
async function waitForDownload(file, expected, seconds, button) {
  const end = Date.now() + seconds * 1000;
  for (;;) {
    const there = fs.existsSync(file) && !fs.existsSync(file + ".part");
    if (there && fs.readFileSync(file).equals(expected)) return [];
    if (Date.now() > end) {
      return there ? [`${button} saved other bytes than the tool's in ${path.basename(file)}`]
        : [`${button} saved no ${path.basename(file)}; the folder holds ` +
           fs.readdirSync(path.dirname(file))];
    }
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
}

async function checkFileInput(page, pageUrl, tool, downloads) {
  const failures = [];
  await load(page, pageUrl, "#name=heart&order=rgb");
  const shown = await choose(page, HEART);
  const expected = native(tool, path.dirname(HEART), [path.basename(HEART)],
                          { name: "heart", order: "rgb" }).output;
  if (shown !== asShown(expected))
    failures.push("#output does not show the tool's text for the heart");
  await page.click("#download");
  failures.push(...(await waitForDownload(path.join(downloads, "heart.c"), expected, 10,
                                          "#download")));
  return failures;
}

// The packed file of an animated GIF, which #download-binary saves, against --binary's.
async function checkBinary(page, pageUrl, tool, downloads) {
  await load(page, pageUrl, "#name=pulse&pack=1");
  await choose(page, GIF);
  await page.click("#download-binary");
  const expected = native(tool, path.dirname(GIF), [path.basename(GIF)],
                          { name: "pulse", pack: true, binary: true }).output;
  return waitForDownload(path.join(downloads, "pulse.bin"), expected, 10, "#download-binary");
}

// An animated GIF chosen in the file input, read by the page's own decoder in Firefox, against
// the tool's reading of the file.
async function checkGif(page, pageUrl, tool, scratch) {
  await load(page, pageUrl, "#name=pulse");
  const shown = await choose(page, GIF);
  // The tool writes the header beside the text: into the scratch folder.
  fs.copyFileSync(GIF, path.join(scratch, "pulse.gif"));
  const expected = native(tool, scratch, ["pulse.gif"], { name: "pulse", header: "pulse.h" }).output;
  return shown === asShown(expected) ? []
    : [`the animated GIF in the page in Firefox:\n${shown}\nas the tool reads it:\n` +
       asShown(expected)];
}

async function main() {
  if (process.argv.length !== 4) {
    console.log("usage: node firefox_test.mjs PAGE TIVRANO");
    process.exit(2);
  }
  const pagePath = path.resolve(process.argv[2]);
  const tool = path.resolve(process.argv[3]);
  if (!fs.existsSync(pagePath)) {
    console.log(`skipped: ${pagePath} is not built ` +
                "(cmake --preset web && cmake --build --preset web)");
    process.exit(77);
  }
  if (!fs.existsSync(FIREFOX)) skip("Firefox ESR is missing (apt-get install firefox-esr)");
  let puppeteer;
  try {
    puppeteer = (await import("puppeteer-core")).default;
  } catch {
    skip(`puppeteer-core is not installed (npm ci --prefix ${HERE})`);
  }
  const pageUrl = pathToFileURL(pagePath).href;
  const scratch = fs.mkdtempSync(path.join(os.tmpdir(), "tivrano-firefox-"));
  const downloads = path.join(scratch, "downloads");
  fs.mkdirSync(downloads);
  const failures = [];
  let count = 0;
  let version = "";
  const browser = await startBrowser(puppeteer, scratch, downloads);
  try {
    version = await browser.version();
    const page = await browser.newPage();
    const requests = [];
    const consoleErrors = [];
    page.on("request", (request) => requests.push(request.url()));
    page.on("pageerror", (error) => consoleErrors.push(`the page threw: ${error.message}`));
    page.on("console", (message) => {
      if (message.type() === "error") consoleErrors.push(`the console says: ${message.text()}`);
    });
    // A request the policy stops never reaches the network, so it is counted here.
    await page.evaluateOnNewDocument(() => {
      document.addEventListener("securitypolicyviolation", (e) => {
        console.error(`Content-Security-Policy: ${e.violatedDirective} stopped ${e.blockedURI}`);
      });
    });
    const watch = await checkWatch(page, pageUrl, requests, consoleErrors);
    failures.push(...watch.failures);
    await load(page, pageUrl);
    const converted = await checkConvert(page, tool, scratch);
    failures.push(...converted.failures);
    count = converted.count;
    failures.push(...(await checkFileInput(page, pageUrl, tool, downloads)));
    failures.push(...(await checkBinary(page, pageUrl, tool, downloads)));
    failures.push(...(await checkGif(page, pageUrl, tool, scratch)));
    for (const url of requests) {
      const own = url.startsWith(pageUrl) || url.startsWith("blob:") || url === "about:blank";
      if (!own && url !== watch.probe)
        failures.push(`the page requested ${url.slice(0, 80)}`);
    }
    failures.push(...consoleErrors.filter((error) => !error.includes(watch.probe)));
  } finally {
    await browser.close();
    fs.rmSync(scratch, { recursive: true, force: true });
  }
  for (const failure of failures) console.log("FAILED: " + failure);
  console.log(`${path.basename(pagePath)} in ${version}: ${count} images converted byte for byte ` +
              `as the tool converts them; ${failures.length} failures`);
  process.exit(failures.length ? 1 : 0);
}

await main();
