// Fuzzes the command line: the bytes, split at NUL bytes, are the arguments after the program name.
// Checks what the rest of the program relies on: values never start with a hyphen, an integer
// query succeeds only for a run of digits that fits an int and then gives its number, and a
// failed query leaves the int alone.
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "app/options.h"
#include "fuzz_support.h"

namespace {
bool allDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// The number of a digit run, or -1 when it exceeds INT_MAX.
long long digitValue(const std::string& text) {
  size_t first = text.find_first_not_of('0');
  if (first == std::string::npos) return 0;
  if (text.size() - first > 10) return -1;
  long long value = std::stoll(text.substr(first));
  return value > INT_MAX ? -1 : value;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args{"lumarok"};
  std::string current;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(data[i]);
    }
  }
  args.push_back(current);
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);

  OptionMap options;
  parseOptions(static_cast<int>(args.size()), argv.data(), options);
  for (const auto& [key, value] : options) {
    FUZZ_CHECK(value.empty() || value[0] != '-');
    FUZZ_CHECK(optionString(options, key) == value);
    int number = -7;
    bool ok = optionInt(options, key, number);
    long long expected = allDigits(value) ? digitValue(value) : -1;
    FUZZ_CHECK(ok == (expected >= 0));
    FUZZ_CHECK(ok ? number == expected : number == -7);
  }
  bool acceptable = optionsAcceptable(options);
  FUZZ_CHECK(acceptable == (options.count("f") > 0 || (options.count("w") > 0 && options.count("h") > 0)));
  return 0;
}
