#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "tests/TestSupport.h"

// The built program TUDA_PROGRAM_PATH as a child process, for tests that need a real process:
// signals, and files that grow while it reads them.

using Clock = std::chrono::steady_clock;

// Generous: "promptly", on a machine shared with other builds, under sanitizers.
constexpr std::chrono::seconds kPatience{30};

inline bool WaitFor(const std::function<bool()>& condition)
{
  const Clock::time_point end = Clock::now() + kPatience;
  while (!condition()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// Whether a signal sent to the process `pid` now is heard: it has a handler for `signalNumber`
// (its status's caught-signal mask), or it has ended and nothing is left to hear it.
inline bool HandlesOrEnded(pid_t pid, int signalNumber)
{
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("State:", 0) == 0 && line.find("Z (zombie)") != std::string::npos) return true;
    if (line.rfind("SigCgt:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) >> (signalNumber - 1)) & 1;
  }
  return !status.is_open();
}

inline void Append(const std::string& path, const std::string& bytes)
{
  std::ofstream file(path, std::ios::binary | std::ios::app);
  file << bytes;
}

// In a forked child: becomes `tuda ARGS`.
[[noreturn]] inline void ExecTuda(const std::vector<std::string>& args)
{
  std::vector<char*> argv{const_cast<char*>(TUDA_PROGRAM_PATH)};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  execv(TUDA_PROGRAM_PATH, argv.data());
  _exit(127);
}

// A child running `tuda ARGS` with standard error on a pipe, read as it comes, and standard
// output into the file `outPath` (left as it is when empty).
class Child {
 public:
  explicit Child(const std::vector<std::string>& args, const std::string& outPath = "")
  {
    int errPipe[2];
    if (pipe(errPipe) != 0) return;
    pid = fork();
    if (pid == 0) {
      signal(SIGINT, SIG_DFL);
      dup2(errPipe[1], STDERR_FILENO);
      const int out = outPath.empty() ? -1 : open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (out >= 0) dup2(out, STDOUT_FILENO);
      ExecTuda(args);
    }
    close(errPipe[1]);
    err = errPipe[0];
  }
  ~Child()
  {
    if (!waited) Interrupt();
    close(err);
  }

  // What came on standard error, read for up to `patience`, until `until` appears.
  const std::string& Err(const std::string& until = "\n", std::chrono::milliseconds patience = kPatience)
  {
    const Clock::time_point end = Clock::now() + patience;
    while (errText.find(until) == std::string::npos && Clock::now() < end) {
      pollfd look{err, POLLIN, 0};
      if (poll(&look, 1, 20) <= 0) continue;
      char chunk[4096];
      const ssize_t got = read(err, chunk, sizeof chunk);
      if (got <= 0) break;
      errText.append(chunk, static_cast<size_t>(got));
    }
    return errText;
  }

  // The port of the printed address.
  int Port()
  {
    const std::string& text = Err(", Ctrl-C to stop\n");
    const size_t colon = text.find(':', text.find("//"));
    return colon == std::string::npos ? 0 : std::stoi(text.substr(colon + 1));
  }

  // The exit status once the child ends by itself.
  int Wait()
  {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    waited = true;
    Err("\x04", std::chrono::milliseconds(200));
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  // Where the program's descriptor of the file `path` stands, or -1 while it holds none.
  long long FileOffset(const std::string& path) const
  {
    const std::string process = "/proc/" + std::to_string(pid);
    std::error_code error;
    for (const auto& fd : std::filesystem::directory_iterator(process + "/fd", error)) {
      if (std::filesystem::read_symlink(fd.path(), error) != path) continue;
      std::ifstream info(process + "/fdinfo/" + fd.path().filename().string());
      std::string field;
      long long offset = -1;
      info >> field >> offset;
      return offset;
    }
    return -1;
  }

  // Ctrl-C, once the program has its handler: sent before, it would end the program unheard.
  int Interrupt()
  {
    WaitFor([this] { return HandlesOrEnded(pid, SIGINT); });
    kill(pid, SIGINT);
    return Wait();
  }

 private:
  pid_t pid = -1;
  int err = -1;
  bool waited = false;
  std::string errText;
};
