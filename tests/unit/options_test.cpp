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

TEST(Options, ParsedCommandLinesGiveTheExpectedMap) {
  const struct {
    std::initializer_list<const char*> args;
    OptionMap map;
  } rows[] = {
      // Only the first hyphen goes; case matters.
      {{"-width", "5", "--w", "6", "-", "7", "-F"}, {{"width", "5"}, {"-w", "6"}, {"", "7"}, {"F", ""}}},
      // A value never starts with a hyphen, so negative numbers become keys.
      {{"-w", "-5", "-h"}, {{"w", ""}, {"5", ""}, {"h", ""}}},
      // A consumed value is never read as an option.
      {{"-f", "demo", "-l", "w"}, {{"f", "demo"}, {"l", "w"}}},
      // Stray words are skipped; an empty argument is a (empty) value.
      {{"demo", "", "-f", "-w", "", "x"}, {{"f", ""}, {"w", ""}}},
      // The later value wins, even an absent one.
      {{"-w", "800", "-h", "600", "-w", "640"}, {{"w", "640"}, {"h", "600"}}},
      {{"-w", "800", "-w"}, {{"w", ""}}},
  };
  for (const auto& row : rows) {
    std::string shown;
    for (const char* a : row.args) shown += std::string(a) + " ";
    EXPECT_EQ(parse(row.args), row.map) << shown;
  }
  // The program path is never parsed.
  const char* argv[] = {"-f"};
  OptionMap map;
  parseOptions(1, argv, map);
  EXPECT_TRUE(map.empty());
}

TEST(Options, AcceptedWithFOrWithBothWAndHWhateverTheirValues) {
  for (auto args : {std::initializer_list<const char*>{},
                    {"-w", "800"},
                    {"-h", "600"},
                    {"-F"},
                    {"-l", "2"},
                    {"-f-", "-w"}})
    EXPECT_FALSE(optionsAcceptable(parse(args))) << args.size();
  for (auto args : {std::initializer_list<const char*>{"-f"},
                    {"-h", "600", "-w", "800"},
                    {"-w", "-h"},
                    {"-w", "abc", "-h", "xyz"},
                    {"demo", "-f"},
                    {"-l", "2", "-f"}})
    EXPECT_TRUE(optionsAcceptable(parse(args))) << *args.begin();
}

TEST(Options, IntegerQueryAcceptsOnlyPlainDecimalDigitsWithinIntRange) {
  OptionMap map = parse({"-a", "800", "-b", "0", "-c", "007", "-d", "2147483647"});
  const std::pair<const char*, int> good[] = {{"a", 800}, {"b", 0}, {"c", 7}, {"d", INT_MAX}};
  for (const auto& g : good) {
    int value = -1;
    EXPECT_TRUE(optionInt(map, g.first, value)) << g.first;
    EXPECT_EQ(value, g.second) << g.first;
  }
  map = parse({"-a", "800x", "-b", "+800", "-c", " 800", "-d", "8 0", "-e", "abc", "-f", "\xE4", "-g", "-h",
               "2147483648", "-i", "99999999999", "-j", "99999999999999999999999999"});
  for (const char* key : {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "absent"}) {
    int value = 1234;
    EXPECT_FALSE(optionInt(map, key, value)) << key;
    EXPECT_EQ(value, 1234) << key;  // a failed query leaves the int untouched
  }
}
