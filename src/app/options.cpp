#include "app/options.h"

#include <climits>
#include <cstdlib>

void parseOptions(int argc, const char* const* argv, OptionMap& options) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (arg == nullptr || arg[0] != '-') continue;  // stray words and empty arguments are ignored
    std::string key(arg + 1);
    bool hasValue = i + 1 < argc && argv[i + 1] != nullptr && argv[i + 1][0] != '-';
    options[key] = hasValue ? std::string(argv[i + 1]) : std::string();
    if (hasValue) ++i;  // a value is consumed, never read as an option
  }
}

std::string optionString(const OptionMap& options, const std::string& key) {
  auto it = options.find(key);
  return it == options.end() ? std::string() : it->second;
}

bool optionInt(const OptionMap& options, const std::string& key, int& value) {
  std::string text = optionString(options, key);
  if (text.empty()) return false;
  long long number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
    // atoi has no defined result past INT_MAX; such a value counts as not a number.
    if (number > INT_MAX) return false;
  }
  value = static_cast<int>(number);
  return true;
}

bool optionsAcceptable(const OptionMap& options) {
  return options.count("f") > 0 || (options.count("w") > 0 && options.count("h") > 0);
}

void printUsage(std::ostream& out) {
  const char* lines[] = {
      "------------------------------",
      "lumarok",
      "------------------------------",
      "Aufruf:",
      "  lumarok [-f | -w <width> -h <height>] [-l <log>]",
      "   -f           Fullscreenmodus",
      "   -w <width>   Breite des Fensters",
      "   -h <height>  Hoehe des Fensters",
      "   -l <log>     Loggingaktivit\xE4t [0..2] (default: 1)",  // Latin-1 a-umlaut, one byte
      "",
  };
  for (const char* line : lines) out << line << std::endl;
}
