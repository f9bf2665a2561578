#!/usr/bin/env bash
# Installs the Debian packages lumarok builds and tests with; does nothing when they are all present.
# ffmpeg is among them because a test encodes an animation with it (about 80 packages, 30 s on a
# clean machine), jq because a test reads JSON with it. --pictures adds what only the README's chart
# needs: gnuplot; --web what the web page's build and its browser test need: emscripten, dpkg-dev
# (apt-get source unpacks ODE's source package with it) and chromium; --windows what the Windows
# build and its tests need: the MinGW-w64 cross-compiler with the posix thread model (the win32 one
# has no std::mutex or std::thread), Wine, zip and dpkg-dev; --measure valgrind and perf, for
# scripts/instructions.sh and scripts/memcheck.sh. glslang-tools is Khronos'
# reference GLSL compiler, which a test runs on the shaders.
set -euo pipefail
packages=(
  build-essential cmake pkg-config clang
  libsdl1.2-dev libglew-dev libglm-dev libode-dev libgl-dev libgtest-dev libpng-dev
  libcli11-dev nlohmann-json3-dev ffmpeg jq glslang-tools
  xvfb xauth libx11-dev libxtst-dev
)
for option in "$@"; do
  case $option in
    --pictures) packages+=(gnuplot-nox) ;;
    --web)
      packages+=(emscripten dpkg-dev chromium)
      # The browser test runs on Node.js with npm; a machine without them gets Debian's.
      command -v npm >/dev/null || packages+=(nodejs npm)
      ;;
    --windows) packages+=(g++-mingw-w64-x86-64-posix wine wine64 zip unzip dpkg-dev) ;;
    --measure) packages+=(valgrind linux-perf bc) ;;
  esac
done
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
