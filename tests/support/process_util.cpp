// Deadline arithmetic and reaping a child with a time limit.
#include "support/process_util.h"

#include <sys/wait.h>
#include <unistd.h>

int remainingMs(std::chrono::steady_clock::time_point deadline) {
  auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

bool waitForChild(pid_t pid, int timeoutMs, int* status) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int raw = 0;
    pid_t r = waitpid(pid, &raw, WNOHANG);
    if (r == pid) {
      if (status != nullptr) *status = raw;
      return true;
    }
    if (r < 0 || remainingMs(deadline) == 0) return false;
    usleep(5000);
  }
}
