// The tools' command lines through CLI11: one error line instead of CLI11's two, and whole-number
// checks with a plain message. Kept out of the tools' shared library on purpose: compiling CLI11 costs
// each file that includes it about ten seconds, so only the tools' own main files do.
#pragma once

#include <CLI/CLI.hpp>
#include <climits>
#include <string>

// A bad option or value ends the tool with one line on standard error: "<tool>: <what>".
inline void useOneLineErrors(CLI::App& app) {
  app.failure_message([](const CLI::App* tool, const CLI::Error& error) {
    return tool->get_name() + ": " + error.what() + " (--help lists the options)\n";
  });
}

// Whole numbers from 1 (frames, rounds) and from 0 (warm-up frames).
inline const CLI::Validator kAtLeastOne = CLI::Range(1, INT_MAX).description("");
inline const CLI::Validator kAtLeastZero = CLI::Range(0, INT_MAX).description("");
