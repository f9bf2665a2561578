// The progress line of long runs, and the clock the tools time with.
#include "progress.h"

#include <unistd.h>

#include <chrono>

void Progress::begin(FILE* to, long long nowNs) {
  out = to;
  terminal = isatty(fileno(to)) != 0;
  startNs = lastNs = nowNs;
}

bool Progress::due(long long nowNs) const {
  return nowNs - lastNs >= (terminal ? kTerminalEveryNs : kPlainEveryNs);
}

void Progress::show(long long nowNs, const std::string& what) {
  lastNs = nowNs;
  const long long seconds = (nowNs - startNs) / 1000000000LL;
  // \033[K clears what a longer earlier line left to the right.
  std::fprintf(out, terminal ? "\r%s, %lld s\033[K" : "%s, %lld s\n", what.c_str(), seconds);
  std::fflush(out);
}

void Progress::clear() {
  if (terminal) std::fputs("\r\033[K", out);  // harmless where no line is showing
  std::fflush(out);
}

long long monotonicNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
