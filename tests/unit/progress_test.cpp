// The progress line: rewritten in place on a terminal, sparse plain lines in a log.
#include "progress.h"

#include <gtest/gtest.h>

TEST(Progress, RewritesOneLineOnATerminalAndWritesSparsePlainLinesElsewhere) {
  const long long second = 1000000000LL;
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  Progress progress;
  progress.begin(file, 0);  // a file: plain lines
  for (long long t = 0; t <= 7 * second; t += second / 10)
    if (progress.due(t)) progress.show(t, "frame " + std::to_string(t / (second / 10)));
  progress.terminal = true;
  if (progress.due(8 * second)) progress.show(8 * second, "frame 80");
  progress.clear();
  std::rewind(file);
  char text[256] = {};
  text[std::fread(text, 1, sizeof text - 1, file)] = '\0';
  EXPECT_STREQ(text, "frame 30, 3 s\nframe 60, 6 s\n\rframe 80, 8 s\033[K\r\033[K");
  std::fclose(file);
}
