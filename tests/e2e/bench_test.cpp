// lumarok-bench end to end on a tiny window and few frames: every figure is there, in the table and
// in valid JSON, and the passes allocate nothing on the heap. The figures themselves are not judged.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

namespace {

TEST(Bench, ReportsEveryFigureAndNoHeapAllocationInThePasses) {
  const std::string json = std::string(LUMAROK_BINARY_DIR) + "/test-output/bench.json";
  std::remove(json.c_str());
  FILE* pipe =
      popen((std::string(LUMAROK_BINARY_DIR) +
             "/lumarok-bench --sizes 64x48,96x72 --frames 8 --warmup 4 --rounds 2 --json '" + json + "'")
                .c_str(),
            "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  ASSERT_EQ(pclose(pipe), 0) << out;
  for (const char* text :
       {"64x48     off", "64x48     on", "96x72     floor", "full/floor", "start-up to first frame",
        "peak RSS", "samples (GL_SAMPLES", ", 0 of them in the passes"})
    EXPECT_NE(out.find(text), std::string::npos) << text << " missing from\n" << out;

  const nlohmann::json figures = nlohmann::json::parse(std::ifstream(json), nullptr, false);
  ASSERT_TRUE(figures.is_object()) << "no valid JSON in " << json;
  ASSERT_EQ(figures["sizes"].size(), 2u);
  for (const auto& size : figures["sizes"]) {
    for (const char* key : {"full_to_floor", "peak_rss_kb", "startup_ms", "cpu_us"})
      EXPECT_TRUE(size.contains(key)) << key << " missing from " << size;
    for (const auto& [name, mode] : size["modes"].items()) {
      for (const char* key : {"median_ms", "p99_ms", "shadow_ms", "offscreen_ms", "final_ms"})
        EXPECT_GT(mode.value(key, 0.0), 0.0) << name << " " << key;
      EXPECT_EQ(mode.value("heap_allocations_in_passes", -1), 0) << name;
    }
  }
}

}  // namespace
