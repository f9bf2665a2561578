// Starting and stopping a private Xvfb.
#include "support/xvfb_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "support/process_util.h"

bool XvfbServer::start(std::string* error, int timeoutMs) {
  auto fail = [&](const std::string& why) {
    if (error != nullptr) *error = why;
    stop();
    return false;
  };
  if (pid > 0) return true;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return fail("pipe failed");
  pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    pid = -1;
    return fail("fork failed");
  }
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);  // a crashed test leaves no server behind
    // The write end must survive exec: Xvfb writes the display number to it.
    int writeFd = dup(fds[1]);
    int devNull = open("/dev/null", O_RDWR);
    dup2(devNull, STDIN_FILENO);
    dup2(devNull, STDOUT_FILENO);
    dup2(devNull, STDERR_FILENO);  // Xvfb is chatty about keymaps and sockets
    std::string fdText = std::to_string(writeFd);
    execlp("Xvfb", "Xvfb", "-displayfd", fdText.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
           "-noreset", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);

  // Xvfb writes "N\n" once it accepts connections; EOF without a number means it died.
  std::string number;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  bool complete = false;
  while (!complete) {
    int left = remainingMs(deadline);
    if (left <= 0) break;
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, left) <= 0) continue;
    char c;
    ssize_t n = read(fds[0], &c, 1);
    if (n <= 0) break;
    if (c == '\n')
      complete = !number.empty();
    else
      number += c;
  }
  close(fds[0]);
  if (!complete) return fail("Xvfb did not report a display (is it installed?)");
  display = ":" + number;
  return true;
}

void XvfbServer::stop() {
  if (pid > 0) {
    kill(pid, SIGTERM);
    if (!waitForChild(pid, 5000, nullptr)) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
  pid = -1;
  display.clear();
}
