// lumarok-images: writes the demo's seven BMP images into a directory (the run directory's res),
// the surface texture test.bmp and the six cube faces of one environment.
#include <cstdio>
#include <string>

#include "scene_images.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::printf("usage: lumarok-images <output directory>\n");
    return 2;
  }
  const std::string dir = argv[1];
  bool ok =
      images::writeFile(dir + "/test.bmp", images::encodeBmp(images::renderSurface(images::kSurfaceSize)));
  for (const images::CubeFace& face : images::kCubeFaces)
    ok = images::writeFile(dir + "/" + face.fileName,
                           images::encodeBmp(images::renderFace(face, images::kFaceSize))) &&
         ok;
  if (!ok) {
    std::printf("lumarok-images: could not write the images into %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
