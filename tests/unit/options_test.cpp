#include <gtest/gtest.h>

#include <sstream>

#include "app/options.h"

namespace {
OptionMap parse(std::initializer_list<const char*> args) {
  std::vector<const char*> argv{"lumarok"};
  argv.insert(argv.end(), args);
  OptionMap map;
  parseOptions(static_cast<int>(argv.size()), argv.data(), map);
  return map;
}
}  // namespace

TEST(Options, UsageIsExactToTheByteWithLatin1Umlaut) {
  std::ostringstream out;
  printUsage(out);
  EXPECT_EQ(out.str(),
            "------------------------------\nlumarok\n------------------------------\nAufruf:\n"
            "  lumarok [-f | -w <width> -h <height>] [-l <log>]\n   -f           Fullscreenmodus\n"
            "   -w <width>   Breite des Fensters\n   -h <height>  Hoehe des Fensters\n"
            "   -l <log>     Loggingaktivit\xE4t [0..2] (default: 1)\n\n");
}
