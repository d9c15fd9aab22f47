// A long-running child process for tests: started from a program file with
// arguments, killed and reaped by the destructor if it is still there.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

class ChildProcess {
 public:
  ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }

  // Waits up to the limit for the child to end; true when it ended by that
  // signal. False when it is still running, or ended otherwise.
  bool endsBySignal(int signal, std::chrono::milliseconds limit);

  // True while the child has not ended (it is not reaped by this call).
  bool running();

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
  int status_ = 0;
};

// A copy of a harmless long-running program (sleep) under the given file name.
std::filesystem::path copyOfSleep(const std::filesystem::path& folder, const std::string& fileName);

}  // namespace testing_support
