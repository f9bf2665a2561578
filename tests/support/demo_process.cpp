// Spawning the demo with captured output, reading both pipes without blocking on either, and
// reaping it with a time limit.
#include "support/demo_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>

#include "support/process_util.h"

extern char** environ;

namespace {
// True when `entry` ("NAME=value") sets a variable that one of `overrides` ("NAME=value" or "NAME") names.
bool hasName(const std::string& entry, const std::vector<std::string>& overrides) {
  std::string name = entry.substr(0, entry.find('='));
  for (const std::string& o : overrides)
    if (o.substr(0, o.find('=')) == name) return true;
  return false;
}
}  // namespace

DemoProcess::~DemoProcess() { kill(); }

bool DemoProcess::start(const std::vector<std::string>& args, const std::string& display) {
  if (pid > 0) return false;
  // Everything the child needs is built before fork: the child only calls exec-safe functions.
  std::vector<std::string> overrides = env;
  overrides.push_back("SDL_AUDIODRIVER=dummy");
  overrides.push_back("DISPLAY=" + display);
  std::vector<std::string> envStrings;
  for (char** e = environ; *e != nullptr; ++e)
    if (!hasName(*e, overrides)) envStrings.push_back(*e);
  for (const std::string& o : overrides)
    if (o.find('=') != std::string::npos && o != "DISPLAY=") envStrings.push_back(o);
  std::vector<char*> envp, argv;
  for (std::string& s : envStrings) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> argStrings{binary};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  for (std::string& s : argStrings) argv.push_back(s.data());
  argv.push_back(nullptr);

  int outPipe[2], errPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0) return false;
  if (pipe2(errPipe, O_CLOEXEC) != 0) {
    close(outPipe[0]);
    close(outPipe[1]);
    return false;
  }
  out.clear();
  err.clear();
  exited = timedOut = false;
  exitStatus = -1;
  termSignal = 0;
  pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // a crashed test leaves no orphan behind
    int devNull = open("/dev/null", O_RDONLY);
    dup2(devNull, STDIN_FILENO);
    dup2(outPipe[1], STDOUT_FILENO);
    dup2(errPipe[1], STDERR_FILENO);
    if (chdir(workDir.c_str()) == 0) execve(binary.c_str(), argv.data(), envp.data());
    const char msg[] = "DemoProcess: cannot start the program\n";
    (void)!write(STDERR_FILENO, msg, sizeof msg - 1);
    _exit(127);
  }
  close(outPipe[1]);
  close(errPipe[1]);
  outFd = outPipe[0];
  errFd = errPipe[0];
  if (pid < 0) {
    pid = -1;
    closePipes();
    return false;
  }
  return true;
}

bool DemoProcess::pump(int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  bool gotData = false;
  while (outFd >= 0 || errFd >= 0) {
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};  // a negative fd is skipped by poll
    // Once something arrived, return as soon as the pipes are momentarily empty.
    int ready = poll(fds, 2, gotData ? 0 : remainingMs(deadline));
    if (ready <= 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].revents == 0) continue;
      int& fd = i == 0 ? outFd : errFd;
      char buffer[4096];
      ssize_t n = read(fd, buffer, sizeof buffer);
      if (n > 0) {
        (i == 0 ? out : err).append(buffer, static_cast<size_t>(n));
        gotData = true;
      } else {
        close(fd);
        fd = -1;
      }
    }
  }
  return outFd >= 0 || errFd >= 0;
}

bool DemoProcess::waitForOutput(const std::string& text, int timeoutMs, size_t from) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (out.size() >= from && out.find(text, from) != std::string::npos) return true;
    int left = remainingMs(deadline);
    if (left == 0 || !pump(left)) return out.find(text, from) != std::string::npos;
  }
}

bool DemoProcess::wait(int timeoutMs) {
  if (pid <= 0) return exited;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  // Keep draining while waiting: a child blocked on a full pipe would never exit.
  while (remainingMs(deadline) > 0 && pump(remainingMs(deadline))) {
  }
  int raw = 0;
  if (waitForChild(pid, remainingMs(deadline), &raw)) {
    reap(raw);
    closePipes();
    return true;
  }
  timedOut = true;
  kill();
  return false;
}

void DemoProcess::kill() {
  if (pid > 0) {
    ::kill(pid, SIGKILL);
    int raw = 0;
    if (waitpid(pid, &raw, 0) == pid) reap(raw);
    pid = -1;
  }
  closePipes();
}

void DemoProcess::reap(int rawStatus) {
  exited = true;
  pid = -1;
  if (WIFEXITED(rawStatus)) exitStatus = WEXITSTATUS(rawStatus);
  if (WIFSIGNALED(rawStatus)) termSignal = WTERMSIG(rawStatus);
}

void DemoProcess::closePipes() {
  if (outFd >= 0) close(outFd);
  if (errFd >= 0) close(errFd);
  outFd = errFd = -1;
}

std::vector<std::string> DemoProcess::outLines() const {
  std::vector<std::string> lines;
  std::istringstream stream(out);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

std::string DemoProcess::describe() const {
  std::ostringstream s;
  s << binary << ": ";
  if (timedOut)
    s << "timed out and was killed";
  else if (termSignal != 0)
    s << "ended by signal " << termSignal;
  else if (exited)
    s << "exit status " << exitStatus;
  else
    s << "still running";
  s << "\n--- stdout (" << out.size() << " bytes, last 2000) ---\n"
    << out.substr(out.size() > 2000 ? out.size() - 2000 : 0) << "\n--- stderr ---\n"
    << err;
  return s.str();
}
