// Command-line options: a map from option name (argument without its first hyphen) to value text.
// Parsing never fails; bad or missing values simply make the integer query fail.
#pragma once

#include <map>
#include <ostream>
#include <string>

using OptionMap = std::map<std::string, std::string>;

void parseOptions(int argc, const char* const* argv, OptionMap& options);
std::string optionString(const OptionMap& options, const std::string& key);
// True when the value is a non-empty run of decimal digits that fits an int; `value` is untouched otherwise.
bool optionInt(const OptionMap& options, const std::string& key, int& value);
// The command line is complete with -f, or with both -w and -h; only presence counts.
bool optionsAcceptable(const OptionMap& options);
void printUsage(std::ostream& out);
