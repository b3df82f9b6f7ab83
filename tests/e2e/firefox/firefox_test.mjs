// A smoke test of the page, tivrano.html, in headless Firefox ESR opened from file://, driven by
// puppeteer-core over WebDriver BiDi; Chromium's test (web_test.py) checks the page's behaviour:
//
//     node firefox_test.mjs PAGE TIVRANO WRITE_CASES
//
// - window.tivrano.convert writes what the tool writes, byte for byte, with its status and its
//   standard error, on a spread of the shared cases' calls (every seventh the page can make, and
//   each of a PNG or GIF), the tool called as the page calls it;
// - an animated GIF through the file input, as the tool reads it, and the file #download saves;
// - no request leaves the page: a fetch breaks its Content-Security-Policy, which is reported,
//   and the network is cut besides, through a proxy that answers nowhere.
//
// Exit status 77, with the reason, when the page is not built, or, outside CI, when Firefox ESR
// or puppeteer-core (npm ci in this folder) is missing.
import { spawnSync } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { pathToFileURL } from "node:url";

const FIREFOX = "/usr/bin/firefox-esr";
const SEE_HELP = ["see tivrano --help", "rest the pointer on the option for its help"];
// Left out too: an LED map, whose bytes the Chromium test hands the page.
const LEFT_OUT = ["output", "header", "check", "help", "version", "map", "write-map"];

function skip(reason) {
  console.log((process.env.CI ? "FAILED, in CI: " : "skipped: ") + reason);
  process.exit(process.env.CI ? 1 : 77);
}

// The tool's output, status and standard error for files of `folder`, as the page calls it.
function native(tool, folder, names, options) {
  const args = Object.entries(options).map(([k, v]) => (v === true ? "--" + k : `--${k}=${v}`));
  const done = spawnSync(tool, [...args, "--", ...names], { cwd: folder });
  return [done.stdout, done.status === 0 ? 0 : -1, done.stderr.toString()];
}

// A call's options as the page's API takes them, and its files; null for one the page cannot
// make (as web_test.py's as_options says).
function asOptions(args, valued) {
  const options = {}, names = [];
  for (let k = 0; k < args.length; ++k) {
    const word = args[k];
    if (word === "-" || (word.startsWith("-") && !word.startsWith("--"))) return null;
    if (!word.startsWith("--")) { names.push(word); continue; }
    let [key, value] = [word.slice(2).split("=", 1)[0], word.slice(word.indexOf("=") + 1)];
    if (!word.includes("=")) value = valued.has(key) ? args[++k] : true;
    if (LEFT_OUT.includes(key) || key in options) return null;
    options[key] = value;
  }
  return names.length ? [options, names] : null;
}

async function main() {
  const [pagePath, tool, writeCases] = process.argv.slice(2).map((p) => path.resolve(p));
  if (!writeCases) {
    console.log("usage: node firefox_test.mjs PAGE TIVRANO WRITE_CASES");
    process.exit(2);
  }
  if (!fs.existsSync(pagePath)) {
    console.log(`skipped: ${pagePath} is not built (cmake --build --preset web)`);
    process.exit(77);
  }
  if (!fs.existsSync(FIREFOX)) skip("Firefox ESR is missing (apt-get install firefox-esr)");
  const puppeteer = (await import("puppeteer-core").catch(() =>
    skip("puppeteer-core is not installed (npm ci --prefix tests/e2e/firefox)"))).default;
  const scratch = fs.mkdtempSync(path.join(os.tmpdir(), "tivrano-firefox-"));
  const cases = path.join(scratch, "cases"), downloads = path.join(scratch, "downloads");
  spawnSync(writeCases, [cases]);
  const help = spawnSync(tool, ["--help"]).stdout.toString();
  const valued = new Set([...help.matchAll(/^ +(?:-\w, )?--([a-z-]+)=/gm)].map((m) => m[1]));
  const calls = JSON.parse(fs.readFileSync(path.join(cases, "cases.json"))).calls
    .map(({ args, input }, k) => [input ? null : asOptions(args, valued), k])
    .filter(([taken]) => taken)
    .filter(([[, names]], n) => n % 7 === 0 || names.some((f) => /\.(png|gif)$/.test(f)))
    .map(([[options, names], k]) => [names.map((name) => {
      const file = path.join(cases, "calls", String(k), name);
      return fs.existsSync(file) ? fs.readFileSync(file).toString("base64") : "";
    }), options]);
  const browser = await puppeteer.launch({
    browser: "firefox", executablePath: FIREFOX, headless: true,
    userDataDir: path.join(scratch, "profile"),
    env: { ...process.env, TMPDIR: scratch, HOME: scratch, XDG_CACHE_HOME: scratch },
    extraPrefsFirefox: {
      // Every connection goes through a proxy on the discard port, where nothing answers.
      "network.proxy.type": 1, "network.proxy.http": "127.0.0.1", "network.proxy.http_port": 9,
      "network.proxy.ssl": "127.0.0.1", "network.proxy.ssl_port": 9,
      "network.proxy.no_proxies_on": "", "network.proxy.allow_hijacking_localhost": true,
      "browser.download.folderList": 2, "browser.download.dir": downloads,
      "browser.download.useDownloadDir": true, "browser.download.start_downloads_in_tmp_dir": false,
      "browser.download.always_ask_before_handling_new_types": false,
      "browser.helperApps.neverAsk.saveToDisk": "application/octet-stream",
    },
  });
  const failures = [], requests = [], errors = [];
  const url = pathToFileURL(pagePath).href;
  try {
    const page = await browser.newPage();
    page.on("request", (request) => requests.push(request.url()));
    page.on("console", (m) => { if (m.type() === "error") errors.push(m.text()); });
    page.on("pageerror", (error) => errors.push(`the page threw: ${error.message}`));
    await page.evaluateOnNewDocument(() => document.addEventListener(
      "securitypolicyviolation", (e) => console.error(`policy: ${e.blockedURI}`)));
    // The page says when it is ready; its load event is not waited for, which Firefox once
    // left unreported for 30 s on a loaded machine.
    await page.goto(url + "#name=anim", { waitUntil: "domcontentloaded" });
    const status = (text) => page.waitForFunction(
      (text) => document.getElementById("status").textContent.startsWith(text), {}, text);
    await status("Ready");
    const got = await page.evaluate((calls) => Promise.all(calls.map(async ([files, options]) => {
      const bytes = (b64) => Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
      const r = await window.tivrano.convert(
        files.length === 1 && !options.name ? bytes(files[0]) : files.map(bytes), options);
      return [Array.from(r.output), r.status, r.errors];
    })), calls);
    calls.forEach(([files, options], k) => {
      const folder = path.join(scratch, `case${k}`);
      fs.mkdirSync(folder);
      const names = files.length === 1 && !options.name ? ["image.bmp"]
        : files.map((_, n) => `frame${n + 1}.bmp`);
      names.forEach((name, n) =>
        fs.writeFileSync(path.join(folder, name), Buffer.from(files[n], "base64")));
      const [output, status, err] = native(tool, folder, names, options);
      if (!Buffer.from(got[k][0]).equals(output) || got[k][1] !== status ||
          got[k][2] !== err.replace(...SEE_HELP))
        failures.push(`${JSON.stringify(options)}: the page wrote ${got[k][1]}, ${got[k][2]}; ` +
                      `the tool ${status}, ${err}`);
    });
    // The animated GIF through the file input: an animation, with its header; then #download.
    const gif = path.join(cases, "images", "animated.gif");
    await (await page.$("#file")).uploadFile(gif);
    await status("Converted.");
    const expected = native(tool, path.dirname(gif), ["animated.gif"],
                            { name: "anim", header: "anim.h" })[0];
    const shown = await page.$eval("#output", (o) => o.value);
    if (shown !== expected.toString("latin1").replace(/\r\n?/g, "\n"))
      failures.push(`the animated GIF chosen in the file input shows ${shown}`);
    if (await page.$eval("#download-header", (button) => button.hidden))
      failures.push("the animated GIF comes without its header");
    await page.click("#download");
    const saved = path.join(downloads, "anim.c");
    for (let end = Date.now() + 10000; Date.now() < end && !(fs.existsSync(saved) &&
         fs.readFileSync(saved).equals(expected));) await new Promise((r) => setTimeout(r, 50));
    if (!fs.existsSync(saved) || !fs.readFileSync(saved).equals(expected))
      failures.push("#download did not save the tool's text as anim.c");
    // A fetch, which the policy stops and reports: the watch on requests sees one.
    await page.evaluate(() => fetch("http://127.0.0.1:9/probe").catch(() => null));
    const reported = () => errors.some((e) => e.includes("127.0.0.1:9"));
    for (let end = Date.now() + 5000; !reported() && Date.now() < end;)
      await new Promise((r) => setTimeout(r, 50));
    if (!reported()) failures.push("a fetch went unreported");
    const own = (u) => u.startsWith(url) || u.startsWith("blob:") || u.includes("127.0.0.1:9/");
    failures.push(...requests.filter((u) => !own(u))
      .map((u) => `the page requested ${u.slice(0, 80)}`));
    failures.push(...errors.filter((e) => !e.includes("127.0.0.1:9")));
    console.log(`${path.basename(pagePath)} in ${await browser.version()}: ${calls.length} ` +
                "calls of the shared cases, byte for byte as the tool writes them; " +
                `${failures.length} failures`);
  } finally {
    await browser.close();
    fs.rmSync(scratch, { recursive: true, force: true });
  }
  for (const failure of failures) console.log("FAILED: " + failure);
  process.exit(failures.length ? 1 : 0);
}

await main();
