// Runs a program (by default the built demo, in its run directory) as a child with its standard
// output and standard error captured through pipes, and waits for its exit with a time limit.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct DemoProcess {
  std::string binary = LUMAROK_BINARY_DIR "/lumarok";
  std::string workDir = LUMAROK_BINARY_DIR;  // the run directory: shaders/ and res/ sit here
  std::vector<std::string> env;  // "NAME=value" set over the inherited environment, "NAME" removes it

  pid_t pid = -1;
  std::string out, err;  // everything read so far
  bool exited = false;
  bool timedOut = false;  // wait() gave up and killed the child
  int exitStatus = -1;    // 0..255 after a normal exit
  int termSignal = 0;     // the signal that ended it, if one did

  DemoProcess() = default;
  DemoProcess(const DemoProcess&) = delete;
  DemoProcess& operator=(const DemoProcess&) = delete;
  ~DemoProcess();

  // Starts `binary args...` with DISPLAY=display (unset when empty) and SDL_AUDIODRIVER=dummy.
  bool start(const std::vector<std::string>& args, const std::string& display);
  // Reads whatever output arrives within the time given; false once both pipes are closed.
  bool pump(int timeoutMs);
  // Pumps until standard output holds `text` at or after byte `from`; false on timeout or EOF.
  bool waitForOutput(const std::string& text, int timeoutMs, size_t from = 0);
  // Waits for the exit, draining the pipes; on timeout kills the child and sets timedOut.
  bool wait(int timeoutMs);
  // Kills a child that is still running and reaps it.
  void kill();

  // Standard output split into lines (without their line ends).
  std::vector<std::string> outLines() const;
  // A readable account of the run, for assertion messages.
  std::string describe() const;

 private:
  int outFd = -1, errFd = -1;
  void closePipes();
  void reap(int rawStatus);
};
