// ninetrace-cli run as the user runs it: a child process whose standard output and error go to
// files, awaited with a deadline. The child is started with posix_spawn, which never copies this
// process's memory, so its peak resident size (from wait4) is the program's own.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "../support/as_ordinary_user.h"
#include "platform/file_descriptor.h"

extern char** environ;

namespace ninetrace::testing {

using namespace std::chrono_literals;

inline std::string ReadText(const std::filesystem::path& name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// How the child is started, beyond its arguments.
struct TCliSetup {
  std::string Program = NINETRACE_CLI;
  // Where standard output goes: the run's .out file when empty; "-" closes it.
  std::filesystem::path Stdout;
  bool AppendStdout = false;
  // The child's file-size limit in bytes, as `ulimit -f` sets it.
  rlim_t FileSizeLimit = RLIM_INFINITY;
  // Run as an ordinary user (nobody, when this process is root), whose permissions count.
  bool OrdinaryUser = false;
};

class TCliRun {
 public:
  // Starts ninetrace-cli with `args`; its output goes to files named after `tag` in `dir`.
  TCliRun(const std::vector<std::string>& args, const std::filesystem::path& dir, const std::string& tag,
          const TCliSetup& setup = {})
      : out_(dir / (tag + ".out")), err_(dir / (tag + ".err")) {
    std::vector<std::string> all =
        setup.OrdinaryUser ? AsOrdinaryUserCommand(setup.Program) : std::vector<std::string>{setup.Program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    const std::filesystem::path stdoutPath = setup.Stdout.empty() ? out_ : setup.Stdout;
    if (stdoutPath == "-")
      posix_spawn_file_actions_addclose(&actions, STDOUT_FILENO);
    else
      posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, stdoutPath.c_str(),
                                       O_WRONLY | O_CREAT | (setup.AppendStdout ? O_APPEND : O_TRUNC), 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    // The child starts as from a shell, whatever this process does with its signals.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults, none;
    sigemptyset(&defaults);
    for (int number : {SIGHUP, SIGINT, SIGTERM, SIGPIPE, SIGXFSZ}) sigaddset(&defaults, number);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    // posix_spawn has no limit of its own: the child inherits this process's, set for the moment.
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = setup.FileSizeLimit;
    if (setup.FileSizeLimit != RLIM_INFINITY) ::setrlimit(RLIMIT_FSIZE, &limited);
    const int error = posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), environ);
    if (setup.FileSizeLimit != RLIM_INFINITY) ::setrlimit(RLIMIT_FSIZE, &saved);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) throw std::runtime_error("cannot start " + all[0]);
    exitWatch_.Reset(static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0)));
    if (!exitWatch_.IsOpen()) throw std::runtime_error("pidfd_open failed");
  }
  ~TCliRun() {
    if (!exited_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  TCliRun(const TCliRun&) = delete;
  TCliRun& operator=(const TCliRun&) = delete;

  // Waits up to `timeout` for the child to end; true when it has.
  bool WaitForExit(std::chrono::milliseconds timeout = 30s) {
    if (exited_) return true;
    pollfd ended{exitWatch_.Get(), POLLIN, 0};
    if (::poll(&ended, 1, static_cast<int>(timeout.count())) != 1) return false;
    int status = 0;
    rusage usage{};
    ::wait4(pid_, &status, 0, &usage);
    exited_ = true;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    peakKilobytes_ = usage.ru_maxrss;
    return true;
  }

  // Checks `condition` every 10 ms for up to `timeout`; false when it never held or the child
  // ended first (then the condition is checked once more).
  bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
      if (exited_ || std::chrono::steady_clock::now() >= deadline) return false;
      if (WaitForExit(10ms)) return condition();
    }
    return true;
  }

  // The first line the child printed, without the newline; empty when none came in time.
  std::string FirstLine(std::chrono::milliseconds timeout = 10s) {
    WaitUntil([&] { return Out().find('\n') != std::string::npos; }, timeout);
    const std::string out = Out();
    const auto end = out.find('\n');
    return end == std::string::npos ? std::string() : out.substr(0, end);
  }

  void Signal(int signal) const { ::kill(pid_, signal); }

  int Status() const { return status_; }  // exit code, or 128 + signal
  long PeakKilobytes() const { return peakKilobytes_; }
  std::string Out() const { return ReadText(out_); }
  std::string Err() const { return ReadText(err_); }
  const std::filesystem::path& OutPath() const { return out_; }

 private:
  std::filesystem::path out_, err_;
  pid_t pid_ = -1;
  TFileDescriptor exitWatch_;
  bool exited_ = false;
  int status_ = -1;
  long peakKilobytes_ = 0;
};

struct TCliResult {
  int Status = -1;
  std::string Out, Err;
  long PeakKilobytes = 0;
};

// Runs ninetrace-cli to the end (killing it after `timeout`, which then fails the status).
inline TCliResult RunCli(const std::vector<std::string>& args, const std::filesystem::path& dir,
                         std::chrono::milliseconds timeout = 60s, const TCliSetup& setup = {}) {
  TCliRun run(args, dir, "run", setup);
  if (!run.WaitForExit(timeout)) return {-1, run.Out(), run.Err() + "\n(timed out)", 0};
  return {run.Status(), run.Out(), run.Err(), run.PeakKilobytes()};
}

}  // namespace ninetrace::testing
