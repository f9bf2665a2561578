// The page around the demo: the query gives the command line (?w=800&h=600 stands for -w 800 -h 600,
// no size for -f), the program's standard output goes to the panel under the canvas, and the status
// line shows the frame count and rate. ?hold=N is for tests: the loop stops after frame N (0: before
// the first; lumarok.holding says it waits) until lumarok.hold is raised, keeping frame N's pixels
// in lumarok.pixels; in that mode every frame's GL errors are collected in lumarok.glErrors.
"use strict";
const query = new URLSearchParams(location.search);
const output = document.getElementById("output");
const status = document.getElementById("status");
const kKeptLines = 500;  // the path prints a line a frame; older lines go

function print(line) {
  output.append(line + "\n");
  while (output.childNodes.length > kKeptLines) output.firstChild.remove();
  output.scrollTop = output.scrollHeight;
}

// The program writes bytes, its usage text Latin-1 (one byte for the ä); they are shown line by line
// as Latin-1, which plain ASCII lines pass unchanged.
function lineWriter() {
  let bytes = [];
  return (byte) => {
    if (byte !== null && byte !== 10) return void bytes.push(byte);
    if (byte === 10 || bytes.length > 0) print(new TextDecoder("latin1").decode(new Uint8Array(bytes)));
    bytes = [];
  };
}

function commandLine() {
  const args = [];
  if (query.has("w")) args.push("-w", query.get("w"));
  if (query.has("h")) args.push("-h", query.get("h"));
  return args.length > 0 ? args : ["-f"];
}

var Module = {
  canvas: document.getElementById("canvas"),
  arguments: commandLine(),
  preRun: [() => FS.init(null, lineWriter(), lineWriter())],
  lumarok: {
    test: query.has("hold"),
    hold: query.has("hold") ? Number(query.get("hold")) : Infinity,
    frame: 0,
    holding: false,
    pixels: null,
    glErrors: [],
  },
  onAbort: (what) => print("stopped: " + what),
  onExit: (code) => { status.textContent = "ended with status " + code; },
};

// Frames per second over the last second, beside the frame count.
let counted = { frame: 0, time: performance.now() };
setInterval(() => {
  const now = performance.now();
  const frames = Module.lumarok.frame;
  if (frames === 0) return;
  const rate = (frames - counted.frame) * 1000 / (now - counted.time);
  status.textContent = "frame " + frames + ", " + rate.toFixed(1) + " frames a second";
  counted = { frame: frames, time: now };
}, 1000);
