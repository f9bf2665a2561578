#!/usr/bin/env bash
# The fault table: deliberate breaks that a user would notice or that would lose safety, each applied to
# a scratch copy of this tree (FAULT_DIR, kept between runs), built and tested (with the sanitizers where
# only they see it), listed with the tests that fail, and undone. A row no test catches, or whose pattern
# no longer applies, fails the run.   tests/faults.sh [--check: patterns only] [ROW-PATTERN]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
scratch=${FAULT_DIR:-/tmp/lumarok-faults}
tree=$scratch/tree
check=0
[ "${1:-}" = --check ] && check=1 && shift
names=() files=() edits=() sees=() ways=()
row() { names+=("$1") files+=("$2") edits+=("$3") sees+=("$4") ways+=("${5:-plain}"); }

row gelinkt              src/gpu/shader_program.cpp  's/"GELINKT"/"LINKED"/'                                   'start-up prints LINKED for GELINKT'
row usage-text           src/app/options.cpp         's/"Aufruf:"/"Usage:"/'                                   'the usage text is not the German one'
row path-lines           src/frame/scene_state.cpp   's/out << pathSegment <</out << pathSegment + 1 <</'       'p prints path segments from 1'
row accept-w-alone       src/app/options.cpp         's/> 0 && options.count("h")/> 0 || options.count("h")/'  '-w 800 alone opens a window, no usage'
row trailing-letters     src/app/options.cpp         "s/if (c < '0' || c > '9') return false;/if (c < '0' || c > '9') break;/" '-w 800x is read as 800'
row gl-limits-ignored    src/app/demo_app.cpp        's/if (opened ? !fitsGlLimits(windowWidth, windowHeight) : askedSize)/if (!opened \&\& askedSize)/' '-w 16385 -h 16 is not refused'
row t-toggles-blur       src/app/controls.cpp        's/stepCubeMap = toggleStep(cubeMapSwitch)/stepBlur = toggleStep(blurSwitch)/' 't switches the blur'
row arrow-release        src/app/controls.cpp        's/case SDLK_LEFT: stepX = 0; break;/case SDLK_LEFT: break;/' 'the camera moves on after ← → are let go'
row close-ignored        src/app/controls.cpp        's/if (event.type == SDL_QUIT) effect.quit = true;//'     'closing the window does not end the demo'
row s-keeps-light        src/app/demo_app.cpp        's/scene.lightPosition = glm::vec3(1.0f, 1.0f, 1.0f);//'  's leaves the light where it was'
row no-swap              src/app/demo_app.cpp        's/SDL_GL_SwapBuffers();//'                               'the window stays black'
row cube-top-inward      src/geometry/shapes.cpp     's/4,  5,  6,  4,  6,  7/4,  6,  5,  4,  7,  6/'          'the cubes have no top'
row ground-inward        src/geometry/shapes.cpp     's/kIndices\[\] = {0, 1, 2, 3}/kIndices[] = {0, 3, 2, 1}/' 'the ground is gone'
row sphere-normals-down  src/geometry/shapes.cpp     's/normal\[1\] = y \/ radius;/normal[1] = -y \/ radius;/'  'the sphere is lit from below'
row buffers-half-size    src/geometry/mesh.cpp       's/elementCount) \* 4/elementCount) * 2/'                 'the meshes are drawn in part'
row gravity-doubled      src/physics/physics.cpp     's/-0.2, 0)/-0.4, 0)/'                                    'the sphere falls twice as hard'
row bounce-weak          src/physics/physics.cpp     's/bounce = 0.9;/bounce = 0.5;/'                          'the sphere bounces far lower'
row cube-faces-swapped   src/gpu/textures.cpp        's/"cm_left.bmp"}, *{\(.*\)"cm_right.bmp"/"cm_right.bmp"}, {\1"cm_left.bmp"/' 'the reflection is mirrored'
row red-blue-swapped     src/gpu/textures.cpp        's/redLowest ? GL_RGB : GL_BGR/redLowest ? GL_BGR : GL_RGB/' 'the textures have red and blue swapped'
row row-pitch-ignored    src/gpu/textures.cpp        's/(row) \* image->pitch/(row) * rowBytes/'               'an image with padded rows comes out skewed'
row shadow-map-quarter   src/gpu/render_targets.cpp  's/DEPTH_COMPONENT24, width, height/DEPTH_COMPONENT24, width \/ 2, height \/ 2/' 'shadows fall in wrong places'
row blur-target-no-depth src/gpu/render_targets.cpp  's/glFramebufferRenderbuffer(.*);//'                     'the blur image shows hidden faces'
row held-toggle-on       src/frame/render_passes.cpp 's/return value == 1 ? 1.0f/return value != 0 ? 1.0f/'    'a toggle a held key pushed to 2 stays on'
row shadow-pass-view     src/frame/render_passes.cpp 's/(loc.vMatrix, scene.lightViewMatrix)/(loc.vMatrix, scene.viewMatrix)/' 'shadows cast as if from the camera'
row blur-old-view        src/frame/render_passes.cpp 's/(loc.vMatrix_old, old.view)/(loc.vMatrix_old, scene.viewMatrix)/' 'no blur while the camera moves'
row path-past-end        src/frame/scene_state.cpp   's/pathSegment + 4 > pathPointCount/pathSegment + 3 > pathPointCount/' 'the path runs a segment too far'
row vertical-view-nan    src/frame/scene_state.cpp   's/if (glm::dot(side, side) > 1e-12f) return/if (true) return/' 'the picture breaks above the centre'
row history-newest-model src/frame/scene_state.cpp   's/motionHistory\[historyLength - 1\].model/motionHistory[historyIndex].model/' 'the falling sphere is not blurred'
row shader-no-shadows    shaders/fragmentShader.txt  's/if (shadowCoord.w > 0.0) stored = textureGather(shadowTex, point);/;/' 's shows no shadows'
row shader-shadow-acne   shaders/vertexShader.txt    's/(0.5 + 0.5 \* slope)/(-1.0 - 1.0 * slope)/' 'lit surfaces show shadow acne'
row shader-acne-grazing  shaders/vertexShader.txt    's/cosLight, 8.0)/cosLight, 2.0)/'                         'faces the light grazes show shadow acne'
row shader-no-reflection shaders/vertexShader.txt    's/reflectedLight = textureCube(cubeTex, reflect(-eyeDirection, seenNormal)).rgb/reflectedLight = vec3(0.0)/' 't shows no reflection'
row shader-no-blur       shaders/vertexShader.txt    's/if (!kVertexTextures || in_motion_blur != 1.0) return;/return;/' 'b shows no blur'
row shader-blur-unclamped shaders/vertexShader.txt   's/kMaxBlurPixels = 40.0/kMaxBlurPixels = 400.0/'         'a jump thins the sphere away over the screen'
row shader-no-texture    shaders/fragmentShader.txt  's/  return t.rgb \* mix/  return vec3(0.6) * mix/' 'ground and cubes lose their texture'
row shader-shimmer       shaders/fragmentShader.txt  's/mix(1.0, detail, clamp((9.0 - footprint) \* 0.15, 0.0, 1.0))/detail/' 'the cube faces shimmer'
row shader-shadow-unfiltered shaders/fragmentShader.txt 's/return inside ? mix(mix(lit.w, lit.z, f.x), mix(lit.x, lit.y, f.x), f.y) : 1.0;/return inside ? lit.w : 1.0;/' 'shadow edges are stair-stepped'
row shader-blur-one-moment shaders/fragmentShader.txt 's/mix(met.x, met.y, (1.0 + jitter) \* 0.5)/met.x/; s/mix(met.x, met.y, jitter \* 0.5)/met.x/' 'the blurred sphere keeps its sharp pattern'
row shader-blur-opaque   shaders/fragmentShader.txt  's/return chord2 > 0.0 ? met.y - met.x : 0.0;/return 1.0;/' 'the blurred sphere is an opaque smear'
row shader-legacy-texels shaders/fragmentShader.txt  's/  vec2 size = 1.0 \/ shadowTexel;/  vec2 size = 1.0 \/ shadowTexel.yx;/' 'GL 2.1 without the extensions casts shadows in the wrong places'
row shader-vertex-reads  shaders/vertexShader.txt    's/if (!kVertexTextures || in_motion_blur != 1.0) return;/if (in_motion_blur != 1.0) return;/' 'no picture where the vertex stage has no texture units'
row ext-fbo-ignored      src/gpu/gl_platform.cpp     's/if (__glewGenFramebuffersEXT != nullptr) {/if (false) {/' 'a GL 2.1 context with EXT framebuffer objects only loses shadows and blur'
row contradictory-header src/gpu/textures.cpp        's/if (!consistentSurface(\*image)) {/if (false) {/'     'a BMP with a contradictory header crashes it'
row small-image-used     src/gpu/textures.cpp        's/if (image->w < size || image->h < size) {/if (false) {/' 'a too small image is read past its end'
row no-display-takeover  src/app/process_entry.cpp   's/setenv("SDL_VIDEODRIVER", "x11", 0);//'                'without a display, no plain one-line failure'
row mesh-normals-leak    src/geometry/mesh.cpp       's/delete\[\] normals;//'                                 'every mesh leaks its normals' asan
row quads-split-clockwise src/geometry/mesh.cpp      's/quad\[0\], quad\[2\], quad\[3\]}/quad[0], quad[3], quad[2]}/' 'half the ground is gone in the page' web
row web-depth-linear     src/gpu/gl_platform_web.cpp 's/GL_TEXTURE_MIN_FILTER, GL_NEAREST/GL_TEXTURE_MIN_FILTER, GL_LINEAR/' 'the page shows no shadows' web
row web-feedback-loop    src/gpu/gl_platform_web.cpp 's/if (framebuffer != 0) unbindAttachedTextures();//'    'the page draws nothing' web
row web-stream-zero      src/gpu/gl_platform_web.cpp 's/  reserveStreamZero();//'                              'a cube face is missing in the page' web
row web-no-precision     web/glsl_es.py              's/precision highp float; //'                             "the page's shaders do not compile" web
row web-held-button      web/page.js                 '/"pointerup", "pointercancel", "pointerleave"/d'         'a held arrow button never lets go: the camera flies off' web
row windows-rename-over  tools/png_image.cpp         's/if (written) std::filesystem::rename(temporary, path, error);/if (written \&\& std::rename(temporary.c_str(), path.c_str()) != 0) error = std::make_error_code(std::errc::file_exists);/' 'on Windows a picture is not written over an earlier one' windows
row windows-wide-window  src/app/demo_app.cpp        's/if (opened ? !fitsGlLimits(windowWidth, windowHeight) : askedSize)/if (opened \&\& !fitsGlLimits(windowWidth, windowHeight))/' 'on Windows -w 16385 -h 16 ends without a window' windows
row windows-stdout-file  scripts/windows.sh          's/ --disable-stdio-redirect//'                          "lumarok.exe's lines go to stdout.txt, not the command prompt" windows
row windows-no-console   scripts/windows.sh          's/sed -i .s\/ -mwindows\/\/. /true /'                     'lumarok.exe prints nothing in a command prompt' windows

# A scratch tree holding exactly this tree's files; a changed file gets a new time, so builds stay incremental.
sync_tree() {
  mkdir -p "$tree"
  (cd "$root" && git ls-files -co --exclude-standard | sort) >"$scratch/files"
  (cd "$tree" && find . -type f | sed 's|^\./||' | sort | comm -23 - "$scratch/files" | xargs -r rm -f)
  while read -r f; do
    [ ! -f "$root/$f" ] || cmp -s "$root/$f" "$tree/$f" || { mkdir -p "$(dirname "$tree/$f")" && cp "$root/$f" "$tree/$f"; }
  done <"$scratch/files"
}

# Builds one way (plain, asan, web or windows) and runs its suite; prints the failing tests, one a line.
failing_tests() {
  local build=$scratch/build-$1 log=$scratch/last-$1.log options="" repeat=""
  if [ "$1" = windows ]; then
    # The Linux build's tests drive the Windows programs: the plain build is made first.
    cmake -S "$tree" -B "$scratch/build-plain" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
      cmake --build "$scratch/build-plain" -j2 >"$log.build" 2>&1 &&
      WINDOWS_BUILD_DIR=$build "$tree/scripts/windows.sh" --build >>"$log.build" 2>&1 || { echo "(does not build)"; return; }
    BUILD_DIR=$scratch/build-plain WINDOWS_BUILD_DIR=$build "$tree/scripts/windows.sh" --test >"$log" 2>&1 || true
    sed -n -E 's/^\s*[0-9]+ - (\S+).*\((Failed|Timeout|SEGFAULT|Exception).*/\1/p; s/^windows: the zip lacks.*/the zip/p' "$log"
    return
  fi
  if [ "$1" = web ]; then
    WEB_BUILD_DIR=$build "$tree/scripts/web.sh" --build >"$log.build" 2>&1 || { echo "(does not build)"; return; }
    (cd "$tree/tests/web" && npm ci --no-audit --no-fund --loglevel=error >/dev/null &&
      WEB_BUILD_DIR=$build node --test >"$log" 2>&1) || true
    sed -n -E 's/^not ok [0-9]+ - (.*)/\1/p' "$log"
    return
  fi
  # LeakSanitizer's tracer now and then crashes at exit (see scripts/test.sh): such a test runs again.
  [ "$1" = asan ] && options=-DLUMAROK_SANITIZE=ON repeat="--repeat until-pass:2"
  cmake -S "$tree" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo $options >/dev/null
  cmake --build "$build" -j2 >"$log.build" 2>&1 || { echo "(does not build)"; return; }
  (cd "$build" && ASAN_OPTIONS="detect_leaks=1:suppressions=$tree/tests/sanitizers/asan.supp" \
    LSAN_OPTIONS="suppressions=$tree/tests/sanitizers/lsan.supp:print_suppressions=0" \
    ctest -j2 --timeout 120 $repeat >"$log" 2>&1) || true
  sed -n '/tests FAILED:/,$p' "$log" | sed -n -E 's/^\s*[0-9]+ - (\S+).*/\1/p'
}

[ $check = 1 ] || [ -n "${DISPLAY:-}" ] || exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" "$@"
export SDL_AUDIODRIVER=dummy
sync_tree
chosen=()
for i in "${!names[@]}"; do [[ ${names[i]} == *${1:-}* ]] && chosen+=("$i"); done
if [ $check = 0 ]; then
  for way in $(for i in "${chosen[@]}"; do echo "${ways[i]}"; done | sort -u); do
    broken=$(failing_tests "$way")
    [ -z "$broken" ] || { printf 'faults: the unbroken %s suite fails already:\n%s\n' "$way" "$broken"; exit 1; }
  done
fi
status=0
for i in "${chosen[@]}"; do
  file=$tree/${files[i]}
  sed -i -e "${edits[i]}" "$file"
  if cmp -s "$root/${files[i]}" "$file"; then
    result="PATTERN NOT FOUND in ${files[i]}" status=1
  elif [ $check = 1 ]; then
    result=applies
  else
    caught=$(failing_tests "${ways[i]}")
    result="$(printf '%s' "$caught" | grep -c . || true) failing: $(echo $caught)"
    [ -n "$caught" ] || status=1
  fi
  cp "$root/${files[i]}" "$file"
  printf '%-22s %-5s %s\n    %s\n' "${names[i]}" "${ways[i]}" "${sees[i]}" "$result"
done
exit $status
