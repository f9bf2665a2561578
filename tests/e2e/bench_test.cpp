// lumarok-bench end to end on a tiny window and few frames: every figure is there, in the table and
// in the JSON, and the passes allocate nothing on the heap. The figures themselves are not judged.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

const std::string kBench = std::string(LUMAROK_BINARY_DIR) + "/lumarok-bench";

TEST(Bench, ReportsEveryFigureAndNoHeapAllocationInThePasses) {
  std::string json = std::string(LUMAROK_BINARY_DIR) + "/test-output/bench.json";
  std::string command = "mkdir -p '" + std::string(LUMAROK_BINARY_DIR) + "/test-output' && rm -f '" + json +
                        "' && '" + kBench +
                        "' --sizes 64x48,96x72 --frames 8 --warmup 4 --rounds 2 --json '" + json + "'";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  int status = pclose(pipe);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << out;

  for (const char* row : {"64x48     off", "64x48     on", "64x48     floor", "96x72     floor"})
    EXPECT_NE(out.find(row), std::string::npos) << row << " missing from\n" << out;
  EXPECT_NE(out.find("full/floor"), std::string::npos) << out;
  EXPECT_NE(out.find("start-up to first frame"), std::string::npos) << out;
  EXPECT_NE(out.find("peak RSS"), std::string::npos) << out;
  EXPECT_NE(out.find("samples (GL_SAMPLES"), std::string::npos) << out;
  EXPECT_NE(out.find(", 0 of them in the passes"), std::string::npos) << out;

  std::ifstream in(json);
  std::stringstream text;
  text << in.rdbuf();
  for (const char* key :
       {"\"full_to_floor\"", "\"shadow_ms\"", "\"offscreen_ms\"", "\"final_ms\"", "\"p99_ms\"",
        "\"peak_rss_kb\"", "\"startup_ms\"", "\"heap_allocations_in_passes\""})
    EXPECT_NE(text.str().find(key), std::string::npos) << key << " missing from\n" << text.str();
  const std::string passAllocations = "\"heap_allocations_in_passes\": ";
  for (size_t at = text.str().find(passAllocations); at != std::string::npos;
       at = text.str().find(passAllocations, at + 1))
    EXPECT_EQ(text.str().substr(at + passAllocations.size(), 2), "0}") << text.str();
}

}  // namespace
