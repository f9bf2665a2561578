// The page's frame rate in headless Chromium, the benchmark beside lumarok-bench's native figures:
// frames counted over a stretch of seconds with every effect off (the start), then with s, t and b
// pressed, as the bench's "off" and "on" modes. With --screenshot FILE it also saves the page as a
// visitor sees it at the end; with --phone WxH it opens the page in a touch phone's viewport of that
// size and taps the keys on the page's buttons. It serves WEB_BUILD_DIR itself (web/headless.js).
//   node web/frame_rate.js [--size 1024x768] [--seconds 10] [--screenshot docs/web-page.png]
//   node web/frame_rate.js --phone 390x844 --screenshot docs/web-phone.png
"use strict";
const path = require("node:path");
const { servePage } = require("./headless.js");

const options = { size: "1024x768", seconds: "10", screenshot: "", phone: "" };
for (let i = 2; i + 1 < process.argv.length; i += 2) options[process.argv[i].replace(/^--/, "")] = process.argv[i + 1];
const site = path.resolve(process.env.WEB_BUILD_DIR || path.join(__dirname, "../build-web"));

async function main() {
  const served = await servePage(site);
  const [width, height] = options.size.split("x").map(Number);
  const [phoneWidth, phoneHeight] = options.phone.split("x").map(Number);
  const page = await served.browser.newPage(options.phone
    ? { viewport: { width: phoneWidth, height: phoneHeight }, isMobile: true, hasTouch: true }
    : { viewport: { width: width + 40, height: height + 40 } });
  await page.goto(`${served.address}?w=${width}&h=${height}`);
  await page.waitForFunction(() => Module.lumarok.frame > 30, null, { timeout: 60000 });
  const rate = async () => {
    const start = await page.evaluate(() => [Module.lumarok.frame, performance.now()]);
    await page.waitForTimeout(Number(options.seconds) * 1000);
    const end = await page.evaluate(() => [Module.lumarok.frame, performance.now()]);
    return ((end[0] - start[0]) * 1000 / (end[1] - start[1])).toFixed(1);
  };
  const off = await rate();
  for (const key of ["s", "t", "b"])
    await (options.phone ? page.tap(`button[data-key="${key}"]`) : page.keyboard.press(key));
  const on = await rate();
  console.log(`${options.size}: ${off} frames a second with every effect off, ${on} with shadows, reflection and blur`);
  if (options.screenshot) await page.screenshot({ path: options.screenshot, fullPage: !options.phone });
  await served.stop();
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
