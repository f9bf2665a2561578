// The web page as a visitor gets it (web/headless.js: served by Python's http.server, opened in Debian's
// Chromium), its keys typed on the real keyboard path or tapped on the page's buttons in a phone's
// viewport. The golden frames and their runs come from tests/golden, the same files the desktop's
// capture test reads, so a refresh of the references carries over. WEB_BUILD_DIR names the built
// page (default build-web), OUT_DIR where the page's frames are saved.
"use strict";
const { test, before, after } = require("node:test");
const assert = require("node:assert/strict");
const fs = require("node:fs");
const path = require("node:path");
const { PNG } = require("pngjs");
const { servePage } = require("../../web/headless.js");

const root = path.resolve(__dirname, "../..");
const golden = path.join(root, "tests/golden");
const site = path.resolve(process.env.WEB_BUILD_DIR || path.join(root, "build-web"));
const outDir = process.env.OUT_DIR || path.join(site, "test-output");
// Golden tolerance (docs/testing.md, "The web page"): shares of pixels off by more than 24 levels.
const kImageShare = 0.015;
const kTileShare = 0.20;
// A phone held upright, with a touch screen.
const kPhone = { viewport: { width: 390, height: 844 }, isMobile: true, hasTouch: true };

let served;
before(async () => {
  served = await servePage(site);
  fs.mkdirSync(outDir, { recursive: true });
});
after(() => served && served.stop());

// Opens the page with `query` in a browser context of `device`, runs `steps` on it and closes it; no
// console error (the loop reports each GL error there, checked after every frame), WebGL warning
// (Chromium reports a refused call there) or uncaught error may come meanwhile. SDL's image loader
// earns a harmless Canvas2D warning per image.
async function inPage(query, device, steps) {
  const page = await served.browser.newPage(device);
  const problems = [];
  page.on("console", (m) => {
    if (m.type() === "error" || (m.type() === "warning" && /WebGL|GL_/.test(m.text()))) problems.push(m.text());
  });
  page.on("pageerror", (e) => problems.push(e.message));
  try {
    await page.goto(served.address + query);
    return await steps(page);
  } finally {
    await page.close();
    assert.deepEqual(problems, [], "console errors or WebGL warnings");
  }
}

// Lets the loop run through `frame` and waits until it holds after it (0: before the first frame).
async function holdAfter(page, frame) {
  await page.evaluate((n) => { Module.lumarok.hold = n; }, frame);
  await page.waitForFunction((n) => Module.lumarok.holding && Module.lumarok.frame === n, frame,
                             { timeout: 60000 });
}

// The frame the loop holds after (or the frame kept as `kept[k]`) as pngjs holds an image: RGBA, top
// row first, opaque.
async function heldPixels(page, k = -1) {
  const held = await page.evaluate((k) => {
    const { width, height, rgba } = k < 0 ? Module.lumarok.pixels : kept[k];
    const row = width * 4;
    let text = "";
    for (let y = height - 1; y >= 0; --y) text += String.fromCharCode(...rgba.subarray(y * row, y * row + row));
    return { width, height, data: btoa(text) };
  }, k);
  const data = Buffer.from(held.data, "base64");
  for (let i = 3; i < data.length; i += 4) data[i] = 255;
  return { width: held.width, height: held.height, data };
}

// The desktop capture test's measure: shares of pixels off by more than 24 levels in a channel, in
// the whole image and in the worst of 16 by 16 tiles.
function differing(a, b) {
  assert.deepEqual([a.width, a.height], [b.width, b.height], "sizes differ");
  const tiles = new Array(256).fill(0);
  for (let y = 0; y < a.height; ++y)
    for (let x = 0; x < a.width; ++x)
      for (let i = (y * a.width + x) * 4, c = 0; c < 3; ++c)
        if (Math.abs(a.data[i + c] - b.data[i + c]) > 24) {
          tiles[Math.floor(y * 16 / a.height) * 16 + Math.floor(x * 16 / a.width)] += 256 / (a.width * a.height);
          break;
        }
  return { image: tiles.reduce((s, t) => s + t / 256, 0), worstTile: Math.max(...tiles) };
}

// The golden runs, as tests/golden/scenarios.json lists them for every reader.
const scenarios = JSON.parse(fs.readFileSync(path.join(golden, "scenarios.json"), "utf8")).runs;

// The capture tool's key names, as the browser's keyboard names them.
const kBrowserKeys = { left: "ArrowLeft", right: "ArrowRight", up: "ArrowUp", down: "ArrowDown", space: "Space",
                       escape: "Escape", return: "Enter" };

// The effects' golden runs are tapped on a phone, the rest typed. Each effect's reference differs
// visibly from the plain one (the capture test holds the references to that), so a button that
// changed the picture otherwise than its key fails its run.
const kTapped = ["shadows", "reflection", "blur", "path"];

// Runs a scenario in the page: each key is typed (or tapped on its button) while the loop holds
// before its frame, each shot taken while it holds after its frame. Returns the shots by name.
function runScenario(scenario, tapped) {
  const [width, height] = scenario.size.split("x");
  return inPage(`?w=${width}&h=${height}&hold=0`, tapped ? kPhone : {}, async (page) => {
    const events = [...scenario.keys, ...scenario.shots]
      .sort((a, b) => (a.key ? a.frame - 1 : a.frame) - (b.key ? b.frame - 1 : b.frame));
    const shots = {};
    for (const event of events) {
      await holdAfter(page, event.key ? event.frame - 1 : event.frame);
      const key = kBrowserKeys[event.key] || event.key;
      if (event.key) await (tapped ? page.tap(`button[data-key="${key}"]`) : page.keyboard.press(key));
      else shots[event.name] = await heldPixels(page);
    }
    return shots;
  });
}

test("without a size the page starts the demo at 1024 by 768, shrunk to a phone's width; a held arrow button moves until let go",
     () => inPage("?hold=1", kPhone, async (page) => {
  await holdAfter(page, 1);
  const output = await page.locator("#output").textContent();
  for (const line of ["GELINKT", "GLEW running", "FRONTFACE CCW ", "VERTEX: 0", "NORMAL: 1", "TEXCOORDS: 2", "PASS: 6"])
    assert.ok(output.split("\n").includes(line), `no "${line}" in:\n${output}`);
  assert.doesNotMatch(output, /could not|error|failed|warning|stopped/i);
  assert.deepEqual(await page.evaluate(() => [Module.canvas.width, Module.canvas.height]), [1024, 768]);
  const box = await page.locator("canvas").boundingBox();
  assert.ok(box.x >= 0 && box.x + box.width <= 390 && Math.abs(box.width / box.height - 4 / 3) < 0.01,
            `the canvas shows ${box.width} by ${box.height} from x = ${box.x}`);
  // ↑ held with the mouse (pointer events serve touch alike): each keydown moves the camera, none after.
  // Frames 1 to 5 are kept in the page and read at the end, so the camera goes no farther than it must.
  await page.evaluate(() => { window.kept = [Module.lumarok.pixels]; window.keydowns = 0;
                              document.addEventListener("keydown", () => ++keydowns); });
  const keep = async (frame) => {
    await holdAfter(page, frame);
    await page.evaluate(() => kept.push(Module.lumarok.pixels));
  };
  await page.hover('button[data-key="ArrowUp"]');
  await page.mouse.down();
  for (const frame of [2, 3]) {  // each after one more keydown
    await page.waitForFunction((n) => keydowns > n, await page.evaluate(() => keydowns), { timeout: 5000 });
    await keep(frame);
  }
  await page.mouse.up();
  await keep(4);
  await page.waitForTimeout(300);  // ten repeats' time
  await keep(5);
  const frames = await Promise.all([0, 1, 2, 3, 4].map((k) => heldPixels(page, k)));
  const change = (frame) => differing(frames[frame - 2], frames[frame - 1]).image;
  assert.ok(change(2) > 0.05 && change(3) > 0.05, "the camera does not move while ↑ is held");
  assert.ok(change(5) < 0.001, "the camera goes on moving after ↑ is let go");
}));

// Each golden run in the page: its shots against the desktop's references. The page has one kind of
// window, so the single-sampled run would be the path run again.
for (const scenario of scenarios.filter((run) => !run.singleSample)) {
  const names = scenario.shots.map((shot) => shot.name).join(", ");
  const tapped = scenario.shots.some((shot) => kTapped.includes(shot.name));
  const keys = tapped ? "tapped on a phone" : "typed";
  test(`golden frame ${names}: the page, its keys ${keys} at the same frames, matches the desktop`, async (t) => {
    for (const [name, image] of Object.entries(await runScenario(scenario, tapped))) {
      fs.writeFileSync(path.join(outDir, `${name}.png`), PNG.sync.write(image));
      const reference = PNG.sync.read(fs.readFileSync(path.join(golden, `${name}.png`)));
      const { image: share, worstTile } = differing(image, reference);
      const measured = `${(share * 100).toFixed(2)}% of the pixels differ, ${(worstTile * 100).toFixed(1)}% in the worst tile`;
      t.diagnostic(`${name}: ${measured}`);
      assert.ok(share <= kImageShare && worstTile <= kTileShare,
                `${name}: ${measured} against tests/golden/${name}.png (the page's frame is in ${outDir})`);
    }
  });
}

