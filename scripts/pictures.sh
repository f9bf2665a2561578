#!/usr/bin/env bash
# Makes the README's pictures in docs/ with lumarok-capture: the same frame with shadows off and on,
# the reflecting sphere, the motion blur of the falling sphere with the camera still and with the
# camera stepping, a frame from the camera path, and docs/demo.gif, a short loop of the sphere
# falling and bouncing with every effect on until the camera takes its path. The demo counts time in
# frames, so the pictures come out the same every time. docs/blur-*-before.png show the same two
# blur frames as the shaders of commit cbcfc51 drew them; they are kept as they are.
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
# The sphere falls slowly: seen from close by (the camera four steps lower, three nearer) just
# before it lands, and from the start position in the frame the camera steps down twice. Steps to
# the side would not show: the sphere stays on the screen's middle line above the point looked at.
capture --keys 1:s,1:b,2:down,3:down,4:down,5:down,6:n,7:n,8:n --shots 499:blur-still
capture --keys 1:s,1:b,200:down,200:down --shots 200:blur-step
capture --keys 1:s,1:t,1:b,1:p --shots 1300:camera-path
# The camera two steps lower and nearer, so the sphere is large at 400 pixels wide; every second
# frame at 50 a second is the demo's own pace. Frames on the path change every pixel and cost a GIF
# most of its bytes, so the path gets the last second only.
capture --keys 1:s,1:t,1:b,1:down,1:down,1:n,1:n,690:p --animation 380-800:demo.gif --animation-step 2 \
  --animation-width 400
echo "pictures: $root/docs/{shadows-off,shadows-on,reflection,blur-still,blur-step,camera-path}.png, $root/docs/demo.gif"
