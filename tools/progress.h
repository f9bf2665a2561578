// Where a long run is, on standard error so the report on standard output stays as it is: one line
// rewritten in place on a terminal, otherwise a plain line at most every kPlainEveryNs, so a log
// shows the run moving without filling up. Times are read from monotonicNs.
#pragma once

#include <cstdio>
#include <string>

struct Progress {
  static constexpr long long kTerminalEveryNs = 200000000LL, kPlainEveryNs = 3000000000LL;
  FILE* out = stderr;
  bool terminal = false;
  long long startNs = 0, lastNs = 0;

  void begin(FILE* to, long long nowNs);
  // True when the last line is old enough for a new one; callers build the text only then.
  bool due(long long nowNs) const;
  // Shows "<what>, <elapsed> s".
  void show(long long nowNs, const std::string& what);
  // Takes the rewritten line off the terminal before other output.
  void clear();
};

// Nanoseconds on the monotonic clock, shared by all processes of the machine.
long long monotonicNs();
