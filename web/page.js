// The page around the demo: the query gives the command line (?w=800&h=600 stands for -w 800 -h 600,
// no size for -f), the buttons under the canvas type the program's keys, its standard output goes to
// the foldable panel at the bottom, and the status line shows the frame count and rate. ?hold=N is
// for tests: the loop stops after frame N (0: before the first; lumarok.holding says it waits) until
// lumarok.hold is raised, keeping frame N's pixels in lumarok.pixels; in that mode every frame's GL
// errors are reported on the console.
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

// The buttons type the keys: each sends the keyboard's events for its data-key (a keydown on press, a
// keyup on release) to the element Emscripten's SDL listens on, with the legacy keyCode SDL reads, so
// the program cannot tell a button from a key. A toggle (s, t, b, p, c, l) is pressed and released at
// once, so holding it never lets other events push its switch past 1. A data-hold button (arrows, m, n)
// stays down until the pointer lifts, is cancelled or leaves it, repeating its keydown meanwhile as a
// held key does in the browser (after 500 ms, 30 a second); the program moves once per key event.
const kRepeatDelay = 500;
const kRepeatInterval = 33;
const kKeyCodes = { ArrowLeft: 37, ArrowUp: 38, ArrowRight: 39, ArrowDown: 40 };

function sendKey(type, key, repeat = false) {
  const keyCode = kKeyCodes[key] || key.toUpperCase().charCodeAt(0);
  const code = key.startsWith("Arrow") ? key : "Key" + key.toUpperCase();
  const target = Module.keyboardListeningElement || document;
  target.dispatchEvent(new KeyboardEvent(type, { key, code, keyCode, which: keyCode, repeat, bubbles: true,
                                                 cancelable: true }));
}

for (const button of document.querySelectorAll("#controls button")) {
  const key = button.dataset.key;
  let repeating = null;
  button.addEventListener("pointerdown", (event) => {
    if (event.button !== 0 || button.classList.contains("held")) return;
    event.preventDefault();  // no focus, no selection, no emulated mouse events
    // A touch is captured by the button it started on; let go, so sliding off releases it.
    if (button.hasPointerCapture(event.pointerId)) button.releasePointerCapture(event.pointerId);
    button.classList.add("held");
    sendKey("keydown", key);
    if (!("hold" in button.dataset)) return sendKey("keyup", key);
    const repeat = () => {
      sendKey("keydown", key, true);
      repeating = setTimeout(repeat, kRepeatInterval);
    };
    repeating = setTimeout(repeat, kRepeatDelay);
  });
  const release = () => {
    if (!button.classList.contains("held")) return;
    button.classList.remove("held");
    if (repeating === null) return;
    clearTimeout(repeating);
    repeating = null;
    sendKey("keyup", key);
  };
  for (const type of ["pointerup", "pointercancel", "pointerleave"]) button.addEventListener(type, release);
  window.addEventListener("blur", release);  // SDL lets go of its keys then; the repeat must stop too
}
document.getElementById("controls").addEventListener("contextmenu", (event) => event.preventDefault());
