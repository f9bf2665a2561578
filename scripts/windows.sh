#!/usr/bin/env bash
# Builds lumarok for Windows on this Debian machine with the MinGW-w64 cross-compiler, packs
# ${WINDOWS_BUILD_DIR:-build-win}/lumarok-windows.zip (lumarok.exe, its DLLs, shaders/, res/, README.txt)
# and runs the demo from that folder under Wine (-f, or the options given); --build only builds;
# --test, on a display, runs the Windows stage of scripts/test.sh on what --build made, driven by the
# Linux build in BUILD_DIR (arguments go to ctest). The first run installs the compiler and Wine and
# builds the dependencies from Debian's own source packages (SDL 1.2, GLEW, ODE in double precision
# like Debian's native libode, zlib, libpng, googletest): five minutes on a quiet two-core machine,
# fifteen on a busy one. They are kept in build-win/deps, and built again only when this script's
# recipe for them changes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/cross_build.sh"
out=$(mkdir -p "${WINDOWS_BUILD_DIR:-$root/build-win}" && cd "${WINDOWS_BUILD_DIR:-$root/build-win}" && pwd)
mode=run
case "${1:-}" in --build | --test) mode=${1#--} && shift ;; esac
host=x86_64-w64-mingw32
deps=$out/deps
prefix=$deps/install
toolchain=$root/windows/toolchain.cmake

[ "$mode" = test ] || "$root/scripts/setup.sh" --windows

# Debian's source packages (scripts/cross_build.sh).
fetch_sources() {
  echo "windows: fetching Debian's source packages of $*"
  fetch_debian_sources "$deps/apt" "$deps/src" "$deps/fetch.log" "$@"
}

# The unpacked source folder of a package: the one folder in deps/src named after it.
source_of() { find "$deps/src" -mindepth 1 -maxdepth 1 -type d -name "$1-*" | sort -V | tail -n 1; }

build_deps() {
  rm -rf "$deps"
  mkdir -p "$prefix/lib/pkgconfig" "$prefix/include" "$prefix/share/cmake" "$deps/build"
  fetch_sources libsdl1.2 glew ode zlib libpng1.6 googletest
  local src log
  echo "windows: building SDL 1.2, GLEW, ODE, zlib, libpng and googletest for $host (about five minutes)"

  # SDL. Its stdio redirection stays off: lumarok is a console program whose lines belong in the
  # command prompt, not in a stdout.txt beside the exe (it writes no files).
  src=$(source_of libsdl1.2) log=$deps/sdl.log
  (cd "$src" && quietly "$log" ./configure --host=$host --prefix="$prefix" --disable-stdio-redirect \
    --disable-static && quietly "$log" make -j2 && quietly "$log" make install)
  # A console program: SDL's flags would make a windowed one, with no standard output in a prompt.
  sed -i 's/ -mwindows//' "$prefix/lib/pkgconfig/sdl.pc" "$prefix/bin/sdl-config"

  # GLEW; its pkg-config file asks for glu, which on Windows is the system's glu32.
  src=$(source_of glew) log=$deps/glew.log
  quietly "$log" make -C "$src" SYSTEM=linux-mingw64 GLEW_DEST="$prefix" LIBDIR="$prefix/lib" -j2 glew.lib
  quietly "$log" make -C "$src" SYSTEM=linux-mingw64 GLEW_DEST="$prefix" LIBDIR="$prefix/lib" install
  # This configuration installs the DLL as a library and keeps its import library back; its static
  # library, which GLEW itself calls broken, would be linked instead.
  install -m 644 "$src/lib/libglew32.dll.a" "$prefix/lib/"
  mv "$prefix/lib/glew32.dll" "$prefix/bin/"
  rm "$prefix/lib/libglew32.a"
  printf 'Name: glu\nDescription: the system GLU\nVersion: 1\nLibs: -lglu32\n' >"$prefix/lib/pkgconfig/glu.pc"

  # ODE, static, in double precision like Debian's native libode: the physics runs frame for frame
  # the same. Its own threading stays out, as the demo steps it on one thread.
  src=$(source_of ode) log=$deps/ode.log
  quietly "$log" cmake -S "$src" -B "$deps/build/ode" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DLUMAROK_WINDOWS_DEPS="$prefix" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DODE_DOUBLE_PRECISION=ON -DODE_WITH_DEMOS=OFF -DODE_WITH_TESTS=OFF -DODE_NO_BUILTIN_THREADING_IMPL=ON \
    -DODE_NO_THREADING_INTF=ON -DBUILD_SHARED_LIBS=OFF
  quietly "$log" cmake --build "$deps/build/ode" -j2
  quietly "$log" cmake --install "$deps/build/ode"
  # The name ode.pc gives; and g++ brings the C++ library itself, linked statically here, where
  # ode.pc's -lstdc++ would link the DLL's import library beside it.
  ln -sf libode_doubles.a "$prefix/lib/libode.a"
  sed -i 's/-lstdc++ //' "$prefix/lib/pkgconfig/ode.pc"

  # zlib and libpng, static, for the capture tool's PNG files.
  src=$(source_of zlib) log=$deps/zlib.log
  (cd "$src" && CHOST=$host quietly "$log" ./configure --static --prefix="$prefix" &&
    quietly "$log" make -j2 libz.a && quietly "$log" make install)
  src=$(source_of libpng1.6) log=$deps/png.log
  quietly "$log" cmake -S "$src" -B "$deps/build/png" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DLUMAROK_WINDOWS_DEPS="$prefix" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DPNG_SHARED=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DZLIB_ROOT="$prefix"
  quietly "$log" cmake --build "$deps/build/png" -j2
  quietly "$log" cmake --install "$deps/build/png"

  # googletest, for the unit tests run under Wine.
  src=$(source_of googletest) log=$deps/gtest.log
  quietly "$log" cmake -S "$src" -B "$deps/build/gtest" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DLUMAROK_WINDOWS_DEPS="$prefix" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_GMOCK=OFF
  quietly "$log" cmake --build "$deps/build/gtest" -j2
  quietly "$log" cmake --install "$deps/build/gtest"

  # The header-only libraries are the machine's own Debian packages, their folders alone linked in:
  # the rest of /usr/include is Linux's and must stay out of a Windows build.
  ln -sfn /usr/include/glm "$prefix/include/glm"
  ln -sfn /usr/include/CLI "$prefix/include/CLI"
  ln -sfn /usr/include/nlohmann "$prefix/include/nlohmann"
  sed "s|^prefix=.*|prefix=$prefix|" /usr/share/pkgconfig/glm.pc >"$prefix/lib/pkgconfig/glm.pc"
  cp -r /usr/share/cmake/CLI11 /usr/share/cmake/nlohmann_json "$prefix/share/cmake/"
  recipe >"$deps/done"
}
recipe() { declare -f build_deps fetch_sources fetch_debian_sources | sha1sum; }
[ "$mode" = test ] || [ "$(cat "$deps/done" 2>/dev/null)" = "$(recipe)" ] || build_deps

# Wine runs the build's own programs (the image tool, the unit tests' discovery) and the demo, in a
# prefix of our own (about 700 MB, made on first use) with Wine's Mono and Gecko installers held off.
export WINEPREFIX=$out/wine WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=

# The Windows stage of the suite. Its unit tests run on the Windows C runtime; the zip, unpacked,
# holds a console program and every DLL it imports beyond Windows' own (those in Wine's system
# folder); then the Linux build's tests (BUILD_DIR) drive the Windows programs: the golden frames from
# its capture tool on llvmpipe and the GL 2.1 rows, and lumarok.exe in the unpacked folder through
# the runs of the desktop's table where Windows' own code acts (command line, window, keys, close,
# files that are missing or broken). Left out: runs of logic that is the same code on both (sizes,
# shader and image contents); the one without a display, which Windows has no counterpart of; ten
# thousand arguments, longer than a Windows command line may be; and the flood of ten thousand
# events, which Wine passes to the program one by one through its server, for longer than the test
# waits. Wine's server holds one display at a time, so the demo's runs go one after another.
run_tests() {
  local status=0 folder=$out/unpacked/lumarok-windows missing linux=${BUILD_DIR:-$root/build}
  wineserver -k 2>/dev/null || true
  (cd "$app" && ctest --output-on-failure -j2 "$@") || status=1
  rm -rf "$out/unpacked" && unzip -q "$out/lumarok-windows.zip" -d "$out/unpacked"
  missing=$(for f in "$folder"/*.exe "$folder"/*.dll; do imports "$f"; done | sort -u | while read -r dll; do
    [ -f "$folder/$dll" ] || [ -n "$(find "$WINEPREFIX/drive_c/windows/system32" -maxdepth 1 -iname "$dll")" ] ||
      echo "$dll"
  done)
  [[ $($host-objdump -p "$folder/lumarok.exe") == *"(Windows CUI)"* ]] || missing+=" (not a console program)"
  [ -d "$folder/shaders" ] && [ -d "$folder/res" ] || missing+=" shaders/ or res/"
  [ -z "$missing" ] && echo "windows: the zip holds lumarok.exe, a console program, and all it imports" ||
    { echo "windows: the zip lacks: $missing"; status=1; }
  cd "$linux"
  LUMAROK_CAPTURE="env WINEPATH=Z:$prefix/bin wine $app/lumarok-capture.exe" \
    ctest --output-on-failure -j2 -R 'GoldenFrame.*(llvmpipe|gl21)' "$@" || status=1
  LUMAROK_DEMO="$root/windows/wine-alone.sh $folder/lumarok.exe" ctest --output-on-failure "$@" \
    -R 'DemoTest\.(Incomplete|Hundreds)|/(StartUpLines|WidthBeyondGl|OnePixel|Missing|Truncated|ClosedInTheFirst)' ||
    status=1
  return $status
}
imports() { $host-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p'; }

app=$out/app
stage=$out/lumarok-windows
if [ "$mode" = test ]; then
  run_tests "$@"
  exit
fi

# The program, its capture tool and unit tests: the desktop's CMake project, built for Windows.
quietly "$out/configure.log" cmake -S "$root" -B "$app" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DLUMAROK_WINDOWS_DEPS="$prefix" -DLUMAROK_WINE_PREFIX="$WINEPREFIX" -DCMAKE_BUILD_TYPE=RelWithDebInfo
quietly "$out/build.log" cmake --build "$app" -j2

# The zip: one folder with the program, the DLLs it needs beyond Windows' own (those of our
# dependencies that it or they import), shaders/, res/ and README.txt.
rm -rf "$stage" "$out/lumarok-windows.zip"
mkdir -p "$stage"
$host-strip -o "$stage/lumarok.exe" "$app/lumarok.exe"
pending=("$stage/lumarok.exe")
while [ ${#pending[@]} -gt 0 ]; do
  for dll in $(imports "${pending[0]}"); do
    if [ -f "$prefix/bin/$dll" ] && [ ! -f "$stage/$dll" ]; then
      $host-strip -o "$stage/$dll" "$prefix/bin/$dll"
      pending+=("$stage/$dll")
    fi
  done
  pending=("${pending[@]:1}")
done
cp -r "$app/res" "$stage/"
mkdir "$stage/shaders"  # the demo's two; the bench's floor shaders stay behind with the bench
cp "$app/shaders/vertexShader.txt" "$app/shaders/fragmentShader.txt" "$stage/shaders/"
sed 's/$/\r/' "$root/windows/README.txt" >"$stage/README.txt"
(cd "$out" && zip -q -r lumarok-windows.zip lumarok-windows)
echo "windows: built $out/lumarok-windows.zip ($(ls "$stage" | tr '\n' ' '))"

if [ "$mode" = run ]; then
  [ $# -eq 0 ] && set -- -f
  if [ -z "${DISPLAY:-}" ]; then
    echo "windows: no DISPLAY to show the window on; run this from a desktop session"
    exit 1
  fi
  cd "$stage"
  exec "$root/windows/wine-alone.sh" lumarok.exe "$@"
fi
