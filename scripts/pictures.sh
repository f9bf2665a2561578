#!/usr/bin/env bash
# Makes the README's pictures in docs/ with lumarok-capture: the same frame with shadows off and on,
# the reflecting sphere, the falling sphere without and with motion blur while the camera steps
# sideways, a frame from the camera path, and docs/demo.gif, a short loop of the sphere falling and
# bouncing with every effect on until the camera takes its path. The demo counts time in frames, so
# the pictures come out the same every time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-build}
size=${SIZE:-640x480}
"$root/scripts/setup.sh" --pictures
BUILD_DIR="$build_dir" "$root/scripts/build.sh"
capture() { "$root/$build_dir/lumarok-capture" --size "$size" --out "$root/docs" "$@"; }
# s also puts the light at (1, 1, 1): pressed twice, the light matches the shadowed picture.
capture --keys 1:s,2:s --shots 300:shadows-off
capture --keys 1:s --shots 300:shadows-on
capture --keys 1:s,1:t --shots 300:reflection
# The sphere falls slowly; two quick camera steps just before the shot make its blur easy to see.
capture --keys 1:s,488:right,490:right --shots 492:blur-off
capture --keys 1:s,1:b,488:right,490:right --shots 492:blur
capture --keys 1:s,1:t,1:b,1:p --shots 1300:camera-path
# The camera two steps lower and nearer, so the sphere is large at 400 pixels wide; every second
# frame at 50 a second is the demo's own pace. Frames on the path change every pixel and cost a GIF
# most of its bytes, so the path gets the last second only.
capture --keys 1:s,1:t,1:b,1:down,1:down,1:n,1:n,690:p --animation 380-800:demo.gif --animation-step 2 \
  --animation-width 400
echo "pictures: $root/docs/{shadows-off,shadows-on,reflection,blur-off,blur,camera-path}.png, $root/docs/demo.gif"
