// Shared by the fuzz targets: a real GL context for the whole run, and quiet standard output.
#pragma once

#include <cstdio>
#include <cstdlib>

// Opens a small SDL window with a GL context (DISPLAY must be set) and sends standard output to
// /dev/null, since the loaders print a line for nearly every input. Ends the process if it cannot.
void openFuzzGlContext();

// Stops the run the way a sanitizer finding would: libFuzzer saves the input that got here.
#define FUZZ_CHECK(condition)                                                                  \
  do {                                                                                         \
    if (!(condition)) {                                                                        \
      std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      std::abort();                                                                            \
    }                                                                                          \
  } while (0)
