// lumarok-bench end to end on a tiny window and few frames: every figure is there, in the table and
// in the JSON, which jq reads (valid JSON, one entry per size and mode), and the passes allocate
// nothing on the heap. The figures themselves are not judged.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string output(const std::string& command, int& status) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  for (char buffer[512]; pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr;)
    out += buffer;
  status = pipe != nullptr ? pclose(pipe) : -1;
  return out;
}

TEST(Bench, ReportsEveryFigureAndNoHeapAllocationInThePasses) {
  const std::string json = std::string(LUMAROK_BINARY_DIR) + "/test-output/bench.json";
  int status = -1;
  const std::string out =
      output("rm -f " + json + "; " + LUMAROK_BINARY_DIR +
                 "/lumarok-bench --sizes 64x48,96x72 --frames 8 --warmup 4 --rounds 2 --json " + json,
             status);
  ASSERT_EQ(status, 0) << out;
  for (const char* text :
       {"64x48     off", "64x48     on", "96x72     floor", "full/floor", "start-up to first frame",
        "peak RSS", "samples (GL_SAMPLES", ", 0 of them in the passes"})
    EXPECT_NE(out.find(text), std::string::npos) << text << " missing from\n" << out;
  const std::string check = output(
      "jq -e '(.sizes | length) == 2 and all(.sizes[]; .full_to_floor > 0 and .peak_rss_kb > 0 and "
      ".startup_ms > 0 "
      "and (.modes | length) == 3 and all(.modes[]; .median_ms > 0 and .p99_ms > 0 and .shadow_ms > 0 and "
      ".offscreen_ms > 0 and .final_ms > 0 and .heap_allocations_in_passes == 0))' " +
          json + " 2>&1 || cat " + json,
      status);
  EXPECT_EQ(check, "true\n");
}

}  // namespace
