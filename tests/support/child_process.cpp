#include "tests/support/child_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

namespace testing_support {

ChildProcess::ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments) {
  std::vector<std::string> strings{program.string()};
  strings.insert(strings.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& text : strings) argv.push_back(text.data());
  argv.push_back(nullptr);
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    execv(argv[0], argv.data());
    _exit(127);
  }
  // Wait until the image is the program's, so that /proc shows its name.
  std::string exeLink = "/proc/" + std::to_string(pid_) + "/exe";
  for (int i = 0; i < 500; ++i) {
    std::error_code error;
    auto target = std::filesystem::read_symlink(exeLink, error);
    if (!error && target.filename() == program.filename()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !reaped_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &status_, 0);
  }
}

bool ChildProcess::running() {
  if (reaped_) return false;
  pid_t result = waitpid(pid_, &status_, WNOHANG);
  if (result == pid_) reaped_ = true;
  return !reaped_;
}

bool ChildProcess::endsBySignal(int signal, std::chrono::milliseconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (running() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return reaped_ && WIFSIGNALED(status_) && WTERMSIG(status_) == signal;
}

std::filesystem::path copyOfSleep(const std::filesystem::path& folder, const std::string& fileName) {
  auto target = folder / fileName;
  std::filesystem::copy_file("/bin/sleep", target, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::permissions(target, std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
  return target;
}

}  // namespace testing_support
