#!/usr/bin/env bash
# Builds the demo as a web page into ${WEB_BUILD_DIR:-build-web} (index.html at its root, the program's
# .js and .wasm, its shaders and images packed into lumarok.data) and serves it on 127.0.0.1 with
# Python's http.server; --build only builds. The first run installs Debian's emscripten and builds
# ODE for wasm from Debian's own source package, double precision like Debian's native libode so the
# physics runs frame for frame the same; that build is kept in build-web/ode for later runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/cross_build.sh"
out=$(mkdir -p "${WEB_BUILD_DIR:-$root/build-web}" && cd "${WEB_BUILD_DIR:-$root/build-web}" && pwd)
port=${PORT:-8018}
serve=1
[ "${1:-}" = --build ] && serve=0

"$root/scripts/setup.sh" --web
# Debian's emcc runs its JavaScript parts with the node on PATH; acorn, which they need, is a Debian
# node module, found only through NODE_PATH when that node is not Debian's own.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

# ODE, once, from Debian's source package (scripts/cross_build.sh).
ode=$out/ode
build_ode() {
  rm -rf "$ode"
  mkdir -p "$ode"
  echo "web: fetching ODE's Debian source package"
  fetch_debian_sources "$ode/apt" "$ode/src" "$ode/fetch.log" ode
  local source
  source=$(find "$ode/src" -maxdepth 1 -type d -name 'ode-*' | head -n 1)
  # ODE's platform test knows no Emscripten; it is a Unix-like platform for ODE's purposes.
  sed -i 's/defined(__linux__)/(defined(__linux__) || defined(__EMSCRIPTEN__))/' "$source/config.h.cmake.in"
  grep -q __EMSCRIPTEN__ "$source/config.h.cmake.in"
  echo "web: building ODE for wasm (a minute or two)"
  # wasm32 as the processor keeps ODE's x86 assembly out.
  quietly "$ode/configure.log" emcmake cmake -S "$source" -B "$ode/build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$ode/install" -DEMSCRIPTEN_SYSTEM_PROCESSOR=wasm32 -DODE_DOUBLE_PRECISION=ON \
    -DODE_WITH_DEMOS=OFF -DODE_WITH_TESTS=OFF -DODE_NO_BUILTIN_THREADING_IMPL=ON -DODE_NO_THREADING_INTF=ON \
    -DBUILD_SHARED_LIBS=OFF
  quietly "$ode/build.log" cmake --build "$ode/build" -j2
  quietly "$ode/install.log" cmake --install "$ode/build"
}
[ -f "$ode/install/lib/libode.a" ] || build_ode

# The images come from the project's own tool, built natively as the desktop build does.
quietly "$out/images.log" cmake -S "$root" -B "$out/native" -DCMAKE_BUILD_TYPE=Release
quietly "$out/images.log" cmake --build "$out/native" --target lumarok_images -j2

quietly "$out/configure.log" emcmake cmake -S "$root/web" -B "$out/app" -DCMAKE_BUILD_TYPE=Release \
  -DLUMAROK_WEB_OUT="$out" -DLUMAROK_ODE="$ode/install" -DLUMAROK_RES="$out/native/res"
cmake --build "$out/app" -j2
echo "web: built the page in $out"

if [ "$serve" = 1 ]; then
  echo "web: open http://127.0.0.1:$port/ (?w=800&h=600 for another size); Ctrl-C stops the server"
  cd "$out" && exec python3 -m http.server "$port" --bind 127.0.0.1
fi
