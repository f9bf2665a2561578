// The page's frame rate in headless Chromium, the benchmark beside lumarok-bench's native figures:
// frames counted over a stretch of seconds with every effect off (the start), then with s, t and b
// pressed, as the bench's "off" and "on" modes. With --screenshot FILE it also saves the page as a
// visitor sees it at the end. Build and serve nothing first: it serves WEB_BUILD_DIR itself.
//   node web/frame_rate.js [--size 1024x768] [--seconds 10] [--screenshot docs/web-page.png]
// It drives the browser with the browser test's pinned playwright-core (cd tests/web && npm ci first).
"use strict";
const { spawn } = require("node:child_process");
const path = require("node:path");
module.paths.push(path.join(__dirname, "../tests/web/node_modules"));
const { chromium } = require("playwright-core");

const options = { size: "1024x768", seconds: "10", screenshot: "" };
for (let i = 2; i + 1 < process.argv.length; i += 2) options[process.argv[i].replace(/^--/, "")] = process.argv[i + 1];
const site = path.resolve(process.env.WEB_BUILD_DIR || path.join(__dirname, "../build-web"));

async function main() {
  const server = spawn("python3", ["-m", "http.server", "0", "--bind", "127.0.0.1", "--directory", site],
                       { stdio: ["ignore", "pipe", "ignore"] });
  const port = await new Promise((resolve) => server.stdout.on("data", (c) => {
    const m = /port (\d+)/.exec(c.toString());
    if (m) resolve(m[1]);
  }));
  const browser = await chromium.launch({
    executablePath: process.env.CHROMIUM || "/usr/lib/chromium/chromium",
    args: ["--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader", "--disable-background-networking",
           "--disable-component-update", "--disable-sync", "--no-first-run"],
  });
  const [width, height] = options.size.split("x").map(Number);
  const page = await browser.newPage({ viewport: { width: width + 40, height: height + 380 } });
  await page.goto(`http://127.0.0.1:${port}/?w=${width}&h=${height}`);
  await page.waitForFunction(() => Module.lumarok.frame > 30, null, { timeout: 60000 });
  const rate = async () => {
    const start = await page.evaluate(() => [Module.lumarok.frame, performance.now()]);
    await page.waitForTimeout(Number(options.seconds) * 1000);
    const end = await page.evaluate(() => [Module.lumarok.frame, performance.now()]);
    return ((end[0] - start[0]) * 1000 / (end[1] - start[1])).toFixed(1);
  };
  const off = await rate();
  for (const key of ["s", "t", "b"]) await page.keyboard.press(key);
  const on = await rate();
  console.log(`${options.size}: ${off} frames a second with every effect off, ${on} with shadows, reflection and blur`);
  if (options.screenshot) await page.screenshot({ path: options.screenshot });
  await browser.close();
  server.kill();
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
