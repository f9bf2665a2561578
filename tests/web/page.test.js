// The web page as a visitor gets it: served by Python's http.server from the built folder, opened in
// Debian's Chromium (headless, WebGL 2 on SwiftShader), keys typed on the real keyboard path. The
// golden frames and their runs come from tests/golden, the same files the desktop's capture test
// reads, so a refresh of the references carries over. WEB_BUILD_DIR names the built page
// (default build-web), CHROMIUM the browser binary, OUT_DIR where the page's frames are saved.
"use strict";
const { test, before, after } = require("node:test");
const assert = require("node:assert/strict");
const { spawn } = require("node:child_process");
const fs = require("node:fs");
const path = require("node:path");
const { PNG } = require("pngjs");
const { chromium } = require("playwright-core");

const root = path.resolve(__dirname, "../..");
const golden = path.join(root, "tests/golden");
const site = path.resolve(process.env.WEB_BUILD_DIR || path.join(root, "build-web"));
const outDir = process.env.OUT_DIR || path.join(site, "test-output");
// The browser's own binary: /usr/bin/chromium is a wrapper script that adds flags of its own.
const browserBinary = process.env.CHROMIUM || "/usr/lib/chromium/chromium";
// Golden tolerance: see README, "In a browser". Shares of pixels off by more than 24 levels.
const kImageShare = 0.015;
const kTileShare = 0.20;

let server, address, browser;

before(async () => {
  server = spawn("python3", ["-m", "http.server", "0", "--bind", "127.0.0.1", "--directory", site],
                 { stdio: ["ignore", "pipe", "ignore"] });
  address = await new Promise((resolve, reject) => {
    server.stdout.on("data", (chunk) => {
      const port = /port (\d+)/.exec(chunk.toString());
      if (port) resolve(`http://127.0.0.1:${port[1]}/`);
    });
    server.on("exit", (code) => reject(new Error(`http.server ended (${code})`)));
  });
  browser = await chromium.launch({
    executablePath: browserBinary,
    args: ["--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader", "--disable-background-networking",
           "--disable-component-update", "--disable-sync", "--no-first-run"],
  });
  fs.mkdirSync(outDir, { recursive: true });
});

after(async () => {
  if (browser) await browser.close();
  if (server) server.kill();
});

// Opens the page with `query`; the run's console errors, WebGL's warnings (Chromium reports a refused
// call there) and uncaught errors collect in `problems`. SDL's image loader earns a harmless Canvas2D
// warning per image.
async function open(query) {
  const page = await browser.newPage();
  const problems = [];
  page.on("console", (m) => {
    if (m.type() === "error" || (m.type() === "warning" && /WebGL|GL_/.test(m.text()))) problems.push(m.text());
  });
  page.on("pageerror", (e) => problems.push(e.message));
  await page.goto(address + query);
  return { page, problems };
}

// Lets the loop run through `frame` and waits until it holds after it (0: before the first frame).
async function holdAfter(page, frame) {
  await page.evaluate((n) => { Module.lumarok.hold = n; }, frame);
  await page.waitForFunction((n) => Module.lumarok.holding && Module.lumarok.frame === n, frame,
                             { timeout: 60000 });
}

// The pixels of the frame the loop holds after, top row first, as RGB.
async function heldPixels(page) {
  const held = await page.evaluate(() => {
    const p = Module.lumarok.pixels;
    let text = "";
    for (let i = 0; i < p.rgba.length; i += 0x8000) text += String.fromCharCode(...p.rgba.subarray(i, i + 0x8000));
    return { frame: p.frame, width: p.width, height: p.height, rgba: btoa(text) };
  });
  const rgba = Buffer.from(held.rgba, "base64");
  const rgb = Buffer.alloc(held.width * held.height * 3);
  for (let y = 0; y < held.height; ++y)
    for (let x = 0; x < held.width; ++x)
      for (let c = 0; c < 3; ++c)
        rgb[(y * held.width + x) * 3 + c] = rgba[((held.height - 1 - y) * held.width + x) * 4 + c];
  return { frame: held.frame, width: held.width, height: held.height, rgb };
}

function readPng(file) {
  const png = PNG.sync.read(fs.readFileSync(file));
  const rgb = Buffer.alloc(png.width * png.height * 3);
  for (let i = 0; i < png.width * png.height; ++i) png.data.copy(rgb, i * 3, i * 4, i * 4 + 3);
  return { width: png.width, height: png.height, rgb };
}

function writePng(file, image) {
  const png = new PNG({ width: image.width, height: image.height });
  for (let i = 0; i < image.width * image.height; ++i) {
    image.rgb.copy(png.data, i * 4, i * 3, i * 3 + 3);
    png.data[i * 4 + 3] = 255;
  }
  fs.writeFileSync(file, PNG.sync.write(png));
}

// The desktop capture test's measure: shares of pixels off by more than 24 levels in a channel, in
// the whole image and in the worst of 16 by 16 tiles.
function differing(a, b) {
  assert.deepEqual([a.width, a.height], [b.width, b.height], "sizes differ");
  const tiles = new Array(256).fill(0);
  for (let y = 0; y < a.height; ++y)
    for (let x = 0; x < a.width; ++x)
      for (let c = 0; c < 3; ++c) {
        const i = (y * a.width + x) * 3 + c;
        if (Math.abs(a.rgb[i] - b.rgb[i]) > 24) {
          tiles[Math.floor(y * 16 / a.height) * 16 + Math.floor(x * 16 / a.width)] += 256 / (a.width * a.height);
          break;
        }
      }
  return { image: tiles.reduce((s, t) => s + t / 256, 0), worstTile: Math.max(...tiles) };
}

// The golden runs, as tests/golden/scenarios.json lists them for every reader.
const scenarios = JSON.parse(fs.readFileSync(path.join(golden, "scenarios.json"), "utf8")).runs;

// The capture tool's key names, as the browser's keyboard names them.
const kBrowserKeys = { left: "ArrowLeft", right: "ArrowRight", up: "ArrowUp", down: "ArrowDown", space: "Space",
                       escape: "Escape", return: "Enter" };

// Runs a scenario in the page: each key is typed while the loop holds before its frame, each shot
// taken while it holds after its frame. Returns the shots by name.
async function runScenario(scenario) {
  const [width, height] = scenario.size.split("x");
  const { page, problems } = await open(`?w=${width}&h=${height}&hold=0`);
  const events = [...scenario.keys, ...scenario.shots]
    .sort((a, b) => (a.key ? a.frame - 1 : a.frame) - (b.key ? b.frame - 1 : b.frame));
  const shots = {};
  for (const event of events) {
    await holdAfter(page, event.key ? event.frame - 1 : event.frame);
    if (event.key) await page.keyboard.press(kBrowserKeys[event.key] || event.key);
    else shots[event.name] = await heldPixels(page);
  }
  const glErrors = await page.evaluate(() => Module.lumarok.glErrors);
  await page.close();
  return { shots, problems, glErrors };
}

test("the page starts the demo: start-up lines with GELINKT, no error, frames going on", async () => {
  const { page, problems } = await open("?w=320&h=240&hold=3");
  await holdAfter(page, 3);
  const output = await page.evaluate(() => document.getElementById("output").textContent);
  const glErrors = await page.evaluate(() => Module.lumarok.glErrors);
  await page.close();
  const lines = output.split("\n");
  assert.ok(lines.includes("GELINKT"), output);
  for (const line of ["GLEW running", "FRONTFACE CCW ", "VERTEX: 0", "NORMAL: 1", "TEXCOORDS: 2", "PASS: 6"])
    assert.ok(lines.includes(line), `no "${line}" in:\n${output}`);
  assert.doesNotMatch(output, /could not|error|failed|warning|stopped/i);
  assert.deepEqual(glErrors, []);
  assert.deepEqual(problems, []);
});

test("without a size the page runs the demo as -f does: a 1024 by 768 canvas", async () => {
  const { page, problems } = await open("?hold=1");
  await holdAfter(page, 1);
  const size = await page.evaluate(() => [Module.canvas.width, Module.canvas.height]);
  await page.close();
  assert.deepEqual(size, [1024, 768]);
  assert.deepEqual(problems, []);
});

// Each golden run in the page: its shots against the desktop's references.
const frames = {};
for (const scenario of scenarios) {
  const names = scenario.shots.map((shot) => shot.name).join(", ");
  test(`golden frame ${names}: the page, with the same keys at the same frames, matches the desktop`, async (t) => {
    const run = await runScenario(scenario);
    assert.deepEqual(run.glErrors, [], "GL errors");
    assert.deepEqual(run.problems, [], "console errors or WebGL warnings");
    for (const [name, image] of Object.entries(run.shots)) {
      writePng(path.join(outDir, `${name}.png`), image);
      frames[name] = image;
      const { image: share, worstTile } = differing(image, readPng(path.join(golden, `${name}.png`)));
      const measured = `${(share * 100).toFixed(2)}% of the pixels differ, ${(worstTile * 100).toFixed(1)}% in the worst tile`;
      t.diagnostic(`${name}: ${measured}`);
      assert.ok(share <= kImageShare && worstTile <= kTileShare,
                `${name}: ${measured} against tests/golden/${name}.png (the page's frame is in ${outDir})`);
    }
  });
}

test("s, t, b and p each change the page's picture, as they change the desktop's", () => {
  for (const [effect, plain] of [["shadows", "plain"], ["reflection", "plain"], ["blur", "stepped"], ["path", "plain"]]) {
    assert.ok(frames[effect] && frames[plain], `no ${effect} or ${plain} frame from the golden runs`);
    assert.ok(differing(frames[effect], frames[plain]).worstTile > 0.10, `${effect} looks like ${plain}`);
  }
});
