// The built page served and a browser to open it, for the browser test and web/frame_rate.js: Python's
// http.server on a free port of 127.0.0.1, and Debian's Chromium, headless, WebGL 2 on SwiftShader,
// driven by the browser test's pinned playwright-core (cd tests/web && npm ci first). CHROMIUM names
// another browser binary.
"use strict";
const { spawn } = require("node:child_process");
const path = require("node:path");
module.paths.push(path.join(__dirname, "../tests/web/node_modules"));
const { chromium } = require("playwright-core");

// Serves the folder `site`; resolves to the page's address, the browser, and a stop for both.
async function servePage(site) {
  const server = spawn("python3", ["-m", "http.server", "0", "--bind", "127.0.0.1", "--directory", site],
                       { stdio: ["ignore", "pipe", "ignore"] });
  const address = await new Promise((resolve, reject) => {
    server.stdout.on("data", (chunk) => {
      const port = /port (\d+)/.exec(chunk.toString());
      if (port) resolve(`http://127.0.0.1:${port[1]}/`);
    });
    server.on("exit", (code) => reject(new Error(`http.server ended (${code})`)));
  });
  const browser = await chromium.launch({
    // The browser's own binary: /usr/bin/chromium is a wrapper script that adds flags of its own.
    executablePath: process.env.CHROMIUM || "/usr/lib/chromium/chromium",
    args: ["--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader", "--disable-background-networking",
           "--disable-component-update", "--disable-sync", "--no-first-run"],
  }).catch((error) => { server.kill(); throw error; });
  return { address, browser, stop: async () => { await browser.close(); server.kill(); } };
}

module.exports = { servePage };
