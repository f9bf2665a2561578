// Fuzzes the command line: the bytes, split at NUL bytes, are the arguments after the program name.
// A value never starts with a hyphen; the integer query gives a value only for a run of digits within
// int, and leaves the int alone otherwise; the acceptance rule holds.
#include <cstdint>
#include <string>
#include <vector>

#include "app/options.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args{"lumarok", ""};
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0)
      args.emplace_back();
    else
      args.back() += static_cast<char>(data[i]);
  }
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  OptionMap options;
  parseOptions(static_cast<int>(argv.size()), argv.data(), options);
  for (const auto& [key, value] : options) {
    FUZZ_CHECK(value.empty() || value[0] != '-');
    long long expected = value.empty() ? -1 : 0;  // the number, or -1 for no digit run within int
    for (char c : value)
      expected = expected < 0 || c < '0' || c > '9' || expected * 10 + (c - '0') > INT32_MAX
                     ? -1
                     : expected * 10 + c - '0';
    int number = -7;
    FUZZ_CHECK(optionInt(options, key, number) == (expected >= 0) &&
               number == (expected >= 0 ? expected : -7));
  }
  FUZZ_CHECK(optionsAcceptable(options) ==
             (options.count("f") || (options.count("w") && options.count("h"))));
  return 0;
}
