// The image loader against bytes from memory: inputs the image fuzzer found (kept in its corpus as
// regression-*) and a stream that could not be opened. Each is refused with a line, never used.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "gpu/textures.h"
#include "support/gl_context.h"

namespace fs = std::filesystem;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

class ImageInputTest : public GlContextTest {};

TEST_F(ImageInputTest, FuzzerFindingsAreRefusedWithALine) {
  int found = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(LUMAROK_SOURCE_DIR) / "tests/fuzz/corpus/image")) {
    if (entry.path().filename().string().rfind("regression-", 0) != 0) continue;
    ++found;
    std::ifstream in(entry.path(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GT(bytes.size(), 1u);
    // The first byte is the fuzzer's texture side; the rest is the file.
    SDL_RWops* stream = SDL_RWFromConstMem(bytes.data() + 1, static_cast<int>(bytes.size() - 1));
    CaptureStdout();
    SDL_Surface* image = decodeCheckedImage(stream, "res/test.bmp", 1 << (bytes[0] % 9));
    std::string out = GetCapturedStdout();
    EXPECT_EQ(image, nullptr) << entry.path();
    if (image != nullptr) SDL_FreeSurface(image);
    EXPECT_NE(out.find("res/test.bmp: the decoded image is unusable"), std::string::npos) << out;
  }
  EXPECT_GT(found, 0) << "no regression inputs in the image corpus";
}

TEST_F(ImageInputTest, StreamThatCouldNotOpenIsReportedAsAFailedLoad) {
  SDL_SetError("Couldn't open res/test.bmp");
  CaptureStdout();
  SDL_Surface* image = decodeCheckedImage(nullptr, "res/test.bmp", 256);
  std::string out = GetCapturedStdout();
  EXPECT_EQ(image, nullptr);
  EXPECT_EQ(out, "SDL could not load image.bmp: Couldn't open res/test.bmp\n");
}
