// Command-line parsing, acceptance, the integer query and the usage text.
#include "app/options.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>

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

TEST(Options, KeyIsTheArgumentWithoutOnlyItsFirstHyphen) {
  OptionMap map = parse({"-width", "5", "--w", "6", "-", "7", "-F"});
  EXPECT_EQ(optionString(map, "width"), "5");
  EXPECT_EQ(optionString(map, "-w"), "6");
  EXPECT_EQ(optionString(map, ""), "7");
  EXPECT_EQ(map.count("F"), 1u);
  EXPECT_EQ(map.count("f"), 0u);
  EXPECT_EQ(map.count("w"), 0u);
}

TEST(Options, ValueNeverStartsWithHyphenSoNegativeNumbersBecomeKeys) {
  OptionMap map = parse({"-w", "-5", "-h"});
  EXPECT_EQ(map.size(), 3u);
  EXPECT_EQ(optionString(map, "w"), "");
  EXPECT_EQ(optionString(map, "5"), "");
  EXPECT_EQ(optionString(map, "h"), "");
}

TEST(Options, ConsumedValueIsNeverReadAsOption) {
  OptionMap map = parse({"-f", "demo", "-l", "w"});
  EXPECT_EQ(optionString(map, "f"), "demo");
  EXPECT_EQ(optionString(map, "l"), "w");
  EXPECT_EQ(map.count("w"), 0u);
  EXPECT_EQ(map.count("demo"), 0u);
}

TEST(Options, StrayWordsAndEmptyArgumentsAreSkipped) {
  OptionMap map = parse({"demo", "", "-f", "-w", "", "x"});
  EXPECT_EQ(map.size(), 2u);
  EXPECT_EQ(optionString(map, "f"), "");
  EXPECT_EQ(optionString(map, "w"), "");  // the empty argument became w's (empty) value
  EXPECT_EQ(map.count("x"), 0u);
}

TEST(Options, LaterValueWins) {
  OptionMap map = parse({"-w", "800", "-h", "600", "-w", "640"});
  int width = 0;
  EXPECT_TRUE(optionInt(map, "w", width));
  EXPECT_EQ(width, 640);
  map = parse({"-w", "800", "-w"});
  EXPECT_EQ(optionString(map, "w"), "");
}

TEST(Options, ProgramPathIsNeverParsed) {
  const char* argv[] = {"-f"};
  OptionMap map;
  parseOptions(1, argv, map);
  EXPECT_TRUE(map.empty());
}

TEST(Options, AcceptedWithFOrWithBothWAndH) {
  EXPECT_FALSE(optionsAcceptable(parse({})));
  EXPECT_FALSE(optionsAcceptable(parse({"-w", "800"})));
  EXPECT_FALSE(optionsAcceptable(parse({"-h", "600"})));
  EXPECT_FALSE(optionsAcceptable(parse({"-F"})));
  EXPECT_FALSE(optionsAcceptable(parse({"-l", "2"})));
  EXPECT_FALSE(optionsAcceptable(parse({"-f-", "-w"})));
}

TEST(Options, AcceptanceLooksOnlyAtPresence) {
  EXPECT_TRUE(optionsAcceptable(parse({"-f"})));
  EXPECT_TRUE(optionsAcceptable(parse({"-h", "600", "-w", "800"})));
  EXPECT_TRUE(optionsAcceptable(parse({"-w", "-h"})));
  EXPECT_TRUE(optionsAcceptable(parse({"-w", "abc", "-h", "xyz"})));
  EXPECT_TRUE(optionsAcceptable(parse({"demo", "-f"})));
  EXPECT_TRUE(optionsAcceptable(parse({"-l", "2", "-f"})));
}

TEST(Options, IntegerQueryAcceptsOnlyPlainDecimalDigits) {
  OptionMap map = parse({"-a", "800", "-b", "0", "-c", "007", "-d", "2147483647"});
  int value = -1;
  EXPECT_TRUE(optionInt(map, "a", value));
  EXPECT_EQ(value, 800);
  EXPECT_TRUE(optionInt(map, "b", value));
  EXPECT_EQ(value, 0);
  EXPECT_TRUE(optionInt(map, "c", value));
  EXPECT_EQ(value, 7);
  EXPECT_TRUE(optionInt(map, "d", value));
  EXPECT_EQ(value, INT_MAX);
}

TEST(Options, FailedIntegerQueryLeavesTheIntUntouched) {
  OptionMap map =
      parse({"-a", "800x", "-b", "+800", "-c", " 800", "-d", "8 0", "-e", "abc", "-f", "\xE4", "-g"});
  for (const char* key : {"a", "b", "c", "d", "e", "f", "g", "absent"}) {
    int value = 1234;
    EXPECT_FALSE(optionInt(map, key, value)) << key;
    EXPECT_EQ(value, 1234) << key;
  }
}

TEST(Options, NumberBeyondIntRangeFailsTheQuery) {
  OptionMap map = parse({"-a", "2147483648", "-b", "99999999999", "-c", "99999999999999999999999999"});
  for (const char* key : {"a", "b", "c"}) {
    int value = 1024;
    EXPECT_FALSE(optionInt(map, key, value)) << key;
    EXPECT_EQ(value, 1024) << key;
  }
}
