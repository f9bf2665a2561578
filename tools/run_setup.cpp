// Preparing a run, the parts every platform shares.
#include "run_setup.h"

#include <unistd.h>

#include <filesystem>
#include <iostream>

namespace fs = std::filesystem;

std::string prepareRun(int argc, char** argv, const char* toolName, WindowSize largest) {
  const std::string self = preparePlatform(argc, argv, toolName, largest);
  std::error_code error;
  fs::current_path(fs::path(self).parent_path(), error);
  if (!self.empty() && !error && fs::exists("shaders/vertexShader.txt", error)) return self;
  std::fprintf(stderr, "%s: no shaders/ beside the binary (it runs from the build directory)\n", toolName);
  return "";
}

void QuietStdout::begin() {
  std::cout.flush();
  std::fflush(stdout);
  held = std::tmpfile();
  const int savedFd = dup(STDOUT_FILENO);
  if (held == nullptr || savedFd < 0) return;
  out = fdopen(savedFd, "w");
  setvbuf(out, nullptr, _IOLBF, 0);
  dup2(fileno(held), STDOUT_FILENO);
}

void QuietStdout::end(bool replay) {
  if (out == stdout) return;
  std::cout.flush();
  std::fflush(stdout);
  std::rewind(held);
  char buffer[4096];
  for (size_t n; replay && (n = std::fread(buffer, 1, sizeof buffer, held)) > 0;)
    std::fwrite(buffer, 1, n, stderr);
  std::fflush(out);
  dup2(fileno(out), STDOUT_FILENO);
  std::fclose(out);  // the saved descriptor of the original standard output
  std::fclose(held);
  out = stdout;
  held = nullptr;
}

std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}
