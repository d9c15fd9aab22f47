// Child processes for tests: a program started with its own arguments,
// environment, working folder, file size limit and standard streams, or a fork
// that runs a function. Killed and reaped by the destructor if still there.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

struct ChildOptions {
  ChildOptions(std::filesystem::path program, std::vector<std::string> arguments = {},
               std::vector<std::string> environment = {}, std::filesystem::path workingFolder = {})
      : program(std::move(program)),
        arguments(std::move(arguments)),
        environment(std::move(environment)),
        workingFolder(std::move(workingFolder)) {}

  std::filesystem::path program;
  std::vector<std::string> arguments;  // not counting the program name
  // Changes to this process's environment, in order: "NAME=value" in place of
  // any NAME before it; "PREFIX*" leaves out every variable so named.
  std::vector<std::string> environment;
  std::filesystem::path workingFolder;  // this process's when empty
  rlim_t fileSizeLimit = 0;             // bytes, 0 for none: a write past it ends the child with SIGXFSZ
  std::filesystem::path streams;        // when set, standard input, output and error all use this file
  uid_t user = 0;  // when not 0, the child runs as this user and group id (this process being root)
};

struct RunResult {
  bool exited = false;  // ended by exit rather than by a signal
  int exitCode = -1;
  int signal = 0;
  long peakResidentKb = 0;
};

class ChildProcess {
 public:
  explicit ChildProcess(const ChildOptions& options);
  // A long-running program, found by its name once this returns: /proc shows its image by then.
  ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments);
  // A fork of this process that runs body and exits with what it returns.
  explicit ChildProcess(const std::function<int()>& body);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  const RunResult& result() const { return result_; }

  const RunResult& wait();
  // Waits up to the limit; true once the child has ended.
  bool waitForEnd(std::chrono::milliseconds limit);
  bool running() { return !waitForEnd(std::chrono::milliseconds(0)); }
  bool endsBySignal(int number, std::chrono::milliseconds limit) {
    return waitForEnd(limit) && result_.signal == number;
  }
  // Waits until the child stops (true) or ends (false).
  bool waitForStop();
  void signal(int number) const;

 private:
  void start(const std::function<void()>& inChild);
  // One wait4 with these flags, retried only when interrupted; true once the child has ended.
  bool reap(int flags);

  pid_t pid_ = -1;
  bool ended_ = false;
  RunResult result_;
};

// Starts the program and waits for it.
RunResult runProgram(const ChildOptions& options);

// A copy of a harmless long-running program (sleep) under the given file name.
std::filesystem::path copyOfSleep(const std::filesystem::path& folder, const std::string& fileName);

}  // namespace testing_support
