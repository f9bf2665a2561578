#!/usr/bin/env bash
# Makes the pictures of README.md and docs/ with lumarok-capture: the same frame with shadows off and on,
# the reflecting sphere, the motion blur of the falling sphere with the camera still and with the
# camera stepping, a frame from the camera path, and docs/demo.gif, a short loop of the sphere
# falling and bouncing with every effect on until the camera takes its path; and the blur and the
# shadow edges beside the references they are measured against (docs/blur-falling.png,
# docs/blur-rising.png, docs/shadow-edge.png). The demo counts time in frames, so the pictures come
# out the same every time.
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
# The blur beside its reference, the mean of the ten frames it spans drawn without it, and beside the
# frame without blur: the sphere falling just before it lands and rising fastest after its first bounce.
# ffmpeg averages (tmix), crops and sets the three side by side.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
camera=1:s,2:down,3:down,4:down,5:down,6:n,7:n,8:n
for pair in falling:499 rising:510; do
  name=${pair%:*} last=${pair#*:} shots=""
  for frame in $(seq $((last - 9)) "$last"); do shots+="$frame:f$frame,"; done
  "$root/$build_dir/lumarok-capture" --size "$size" --keys "$camera" --shots "${shots%,}" --out "$tmp/$name" >/dev/null
  "$root/$build_dir/lumarok-capture" --size "$size" --keys "$camera,1:b" --shots "$last:blurred" --out "$tmp/$name" >/dev/null
  ffmpeg -loglevel error -y -start_number $((last - 9)) -i "$tmp/$name/f%d.png" \
    -i "$tmp/$name/blurred.png" -i "$tmp/$name/f$last.png" -filter_complex \
    "[0]tmix=frames=10,select='eq(n\,9)',crop=180:220:230:55[a];[1]crop=180:220:230:55[b];[2]crop=180:220:230:55[c];[a][b][c]hstack=3" \
    -frames:v 1 -update 1 "$root/docs/blur-$name.png"
done
# Shadow edges at 800x600 beside the same frame drawn at 3200x2400 and averaged 4x4 down, the long
# shadow of the left cube with the light low at (1, 1, 1), enlarged four times.
"$root/$build_dir/lumarok-capture" --size 800x600 --keys 1:s --shots 300:now --out "$tmp/shadow" >/dev/null
"$root/$build_dir/lumarok-capture" --size 3200x2400 --keys 1:s --shots 300:large --out "$tmp/shadow" >/dev/null
ffmpeg -loglevel error -y -i "$tmp/shadow/large.png" -i "$tmp/shadow/now.png" -filter_complex \
  "[0]scale=800:600:flags=area,crop=100:50:170:228,scale=400:200:flags=neighbor[a];[1]crop=100:50:170:228,scale=400:200:flags=neighbor[b];[a][b]hstack=2" \
  -frames:v 1 -update 1 "$root/docs/shadow-edge.png"
echo "pictures: $root/docs/{shadows-off,shadows-on,reflection,blur-still,blur-step,camera-path,blur-falling,blur-rising,shadow-edge}.png, $root/docs/demo.gif"
