#include "tests/support/child_process.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <thread>

extern char** environ;

namespace testing_support {

namespace {

std::vector<std::string> environmentWith(const std::vector<std::string>& changes) {
  std::vector<std::string> result;
  for (char** entry = environ; *entry != nullptr; ++entry) result.emplace_back(*entry);
  for (const std::string& change : changes) {
    const bool prefix = !change.empty() && change.back() == '*';
    const std::string start = prefix ? change.substr(0, change.size() - 1) : change.substr(0, change.find('=') + 1);
    result.erase(std::remove_if(result.begin(), result.end(),
                                [&](const std::string& text) { return text.compare(0, start.size(), start) == 0; }),
                 result.end());
    if (!prefix) result.push_back(change);
  }
  return result;
}

std::vector<char*> pointersTo(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& text : strings) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

ChildProcess::ChildProcess(const ChildOptions& options) {
  std::vector<std::string> argumentStrings{options.program.string()};
  argumentStrings.insert(argumentStrings.end(), options.arguments.begin(), options.arguments.end());
  std::vector<std::string> environmentStrings = environmentWith(options.environment);
  const std::vector<char*> argv = pointersTo(argumentStrings);
  const std::vector<char*> envp = pointersTo(environmentStrings);
  start([&] {
    if (!options.workingFolder.empty() && chdir(options.workingFolder.c_str()) != 0) _exit(126);
    const rlimit limit{options.fileSizeLimit, options.fileSizeLimit};
    if (options.fileSizeLimit != 0 && setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
    if (options.user != 0 && (setgroups(0, nullptr) != 0 || setgid(options.user) != 0 || setuid(options.user) != 0)) {
      _exit(126);
    }
    if (!options.streams.empty()) {
      const int file = open(options.streams.c_str(), O_RDWR);
      if (file < 0 || dup2(file, 0) < 0 || dup2(file, 1) < 0 || dup2(file, 2) < 0) _exit(126);
    }
    execve(argv[0], argv.data(), envp.data());
  });
}

ChildProcess::ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments)
    : ChildProcess(ChildOptions(program, arguments)) {
  const std::string exeLink = "/proc/" + std::to_string(pid_) + "/exe";
  for (int i = 0; i < 500; ++i) {
    std::error_code error;
    const auto target = std::filesystem::read_symlink(exeLink, error);
    if (!error && target.filename() == program.filename()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

ChildProcess::ChildProcess(const std::function<int()>& body) {
  start([&] { _exit(body()); });
}

ChildProcess::~ChildProcess() {
  if (pid_ <= 0 || ended_) return;
  kill(pid_, SIGKILL);
  while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
  }
}

void ChildProcess::start(const std::function<void()>& inChild) {
  pid_ = fork();
  if (pid_ < 0) throw std::system_error(errno, std::generic_category(), "fork");
  if (pid_ == 0) {
    try {
      inChild();
    } catch (...) {
    }
    _exit(127);
  }
}

bool ChildProcess::reap(int flags) {
  if (ended_) return true;
  int status = 0;
  rusage usage{};
  pid_t done;
  while ((done = wait4(pid_, &status, flags, &usage)) < 0) {
    if (errno != EINTR) throw std::system_error(errno, std::generic_category(), "wait4 for " + std::to_string(pid_));
  }
  if (done == 0 || WIFSTOPPED(status)) return false;
  ended_ = true;
  result_.exited = WIFEXITED(status);
  result_.exitCode = result_.exited ? WEXITSTATUS(status) : -1;
  result_.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  result_.peakResidentKb = usage.ru_maxrss;
  return true;
}

const RunResult& ChildProcess::wait() {
  reap(0);
  return result_;
}

bool ChildProcess::waitForEnd(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!reap(WNOHANG)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

bool ChildProcess::waitForStop() { return !reap(WUNTRACED); }

void ChildProcess::signal(int number) const {
  if (kill(pid_, number) != 0) throw std::system_error(errno, std::generic_category(), "kill");
}

RunResult runProgram(const ChildOptions& options) { return ChildProcess(options).wait(); }

std::filesystem::path copyOfSleep(const std::filesystem::path& folder, const std::string& fileName) {
  auto target = folder / fileName;
  std::filesystem::copy_file("/bin/sleep", target, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::permissions(target, std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
  return target;
}

}  // namespace testing_support
