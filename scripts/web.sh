#!/usr/bin/env bash
# Builds the demo as a web page into ${WEB_BUILD_DIR:-build-web} (index.html at its root, the program's
# .js and .wasm, its shaders and images packed into lumarok.data) and serves it on 127.0.0.1 with
# Python's http.server; --build only builds. The first run installs Debian's emscripten and builds
# ODE for wasm from Debian's own source package, double precision like Debian's native libode so the
# physics runs frame for frame the same; that build is kept in build-web/ode for later runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "${WEB_BUILD_DIR:-$root/build-web}" && cd "${WEB_BUILD_DIR:-$root/build-web}" && pwd)
port=${PORT:-8018}
serve=1
[ "${1:-}" = --build ] && serve=0

"$root/scripts/setup.sh" --web
# Debian's emcc runs its JavaScript parts with the node on PATH; acorn, which they need, is a Debian
# node module, found only through NODE_PATH when that node is not Debian's own.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

# Runs a command with its output in a log, shown only when it fails.
quietly() {
  local log=$1
  shift
  "$@" >"$log" 2>&1 || { tail -n 40 "$log"; echo "web: failed, see $log"; return 1; }
}

# ODE, once: its source package through a sources list of our own (the machine's Debian sources as
# deb-src lines), so the machine's apt configuration stays as it is.
ode=$out/ode
build_ode() {
  local apt=$ode/apt
  rm -rf "$ode"
  mkdir -p "$apt/lists/partial" "$apt/archives/partial" "$ode/src"
  : >"$apt/sources.list"
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] && sed -n 's/^deb \(.*debian.*\)/deb-src \1/p' "$f" >>"$apt/sources.list"
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && sed 's/^Types: deb$/Types: deb-src/' "$f" >"$apt/$(basename "$f")"
  done
  local options=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt"
                 -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache::Archives=$apt/archives"
                 -o "Dir::Cache::pkgcache=" -o "Dir::Cache::srcpkgcache=" -o APT::Sandbox::User=root)
  echo "web: fetching ODE's Debian source package"
  quietly "$ode/fetch.log" apt-get "${options[@]}" update
  (cd "$ode/src" && quietly "$ode/fetch.log" apt-get "${options[@]}" source ode)
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
