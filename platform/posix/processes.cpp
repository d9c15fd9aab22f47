// Processes on POSIX: a snapshot of /proc, SIGKILL, and fork/exec with a wait.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/posix_path.h"

extern char** environ;

namespace platform {

struct ProcessSnapshot::State {
  bool taken = false;
  std::vector<ProcessEntry> entries;
  size_t position = 0;
};

namespace {

std::string fileNameOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file name of the process's image; of its first argument when the image
// cannot be read (another user's process, a kernel thread).
std::string executableNameOf(const std::string& pid) {
  std::string procFolder = "/proc/" + pid;
  std::string target(4096, '\0');
  ssize_t length = readlink((procFolder + "/exe").c_str(), target.data(), target.size() - 1);
  if (length > 0) {
    target.resize(static_cast<size_t>(length));
    // The kernel marks an image deleted since the start; its name is still its name.
    const std::string deleted = " (deleted)";
    struct stat info;
    if (target.size() > deleted.size() &&
        target.compare(target.size() - deleted.size(), deleted.size(), deleted) == 0 &&
        stat(target.c_str(), &info) != 0) {
      target.resize(target.size() - deleted.size());
    }
    return fileNameOf(target);
  }
  std::ifstream cmdline(procFolder + "/cmdline", std::ios::binary);
  std::string firstArgument;
  std::getline(cmdline, firstArgument, '\0');
  return fileNameOf(firstArgument);
}

bool isProcessId(const char* name) {
  if (*name == 0) return false;
  for (const char* c = name; *c != 0; ++c) {
    if (*c < '0' || *c > '9') return false;
  }
  return true;
}

}  // namespace

ProcessSnapshot::ProcessSnapshot() : state_(std::make_unique<State>()) {
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return;
  std::vector<unsigned long> ids;
  while (dirent* item = readdir(proc)) {
    if (!isProcessId(item->d_name)) continue;
    unsigned long id = std::strtoul(item->d_name, nullptr, 10);
    if (id <= UINT32_MAX) ids.push_back(id);
  }
  closedir(proc);
  std::sort(ids.begin(), ids.end());
  for (unsigned long id : ids) {
    ProcessEntry entry;
    entry.processId = static_cast<uint32_t>(id);
    std::string name = executableNameOf(std::to_string(id));
    entry.exeFile = posix::fromUtf8(name.data(), name.size());
    state_->entries.push_back(std::move(entry));
  }
  state_->taken = true;
}

ProcessSnapshot::~ProcessSnapshot() = default;

bool ProcessSnapshot::valid() const { return state_->taken; }

bool ProcessSnapshot::first(ProcessEntry& entry) {
  state_->position = 0;
  return next(entry);
}

bool ProcessSnapshot::next(ProcessEntry& entry) {
  if (state_->position >= state_->entries.size()) return false;
  entry = state_->entries[state_->position++];
  return true;
}

bool terminateProcessById(uint32_t processId, uint32_t) {
  // 0 and ids beyond pid_t would address process groups or nothing at all.
  if (processId == 0 || processId > static_cast<uint32_t>(INT_MAX)) return false;
  return kill(static_cast<pid_t>(processId), SIGKILL) == 0;
}

bool runProgramAndWait(const char16_t* programPath) {
  if (programPath == nullptr || programPath[0] == 0) return false;
  std::string path = posix::systemPath(programPath);
  char* argv[] = {path.data(), nullptr};

  // The child reports a failed exec through this pipe; a successful exec closes it.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return false;
  pid_t child = fork();
  if (child < 0) {
    close(report[0]);
    close(report[1]);
    return false;
  }
  if (child == 0) {
    close(report[0]);
    execve(path.c_str(), argv, environ);
    int error = errno;
    ssize_t ignored = write(report[1], &error, sizeof error);
    (void)ignored;
    _exit(127);
  }
  close(report[1]);
  int error = 0;
  ssize_t got;
  do {
    got = read(report[0], &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  close(report[0]);

  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return got == 0;
}

}  // namespace platform
