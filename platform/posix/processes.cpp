// Processes on POSIX: a snapshot of /proc, SIGKILL, and fork/exec held on a pipe, with a wait.
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

namespace {

// What execve would refuse outright, asked before the program is let go: a
// file that is not a plain one, that this user may not run, or that is neither
// a binary of this system nor a script (CreateProcessW fails likewise on a
// file that is no program).
bool looksStartable(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || access(path.c_str(), X_OK) != 0) return false;
  const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (file < 0) return false;
  char head[4] = {};
  const ssize_t got = read(file, head, sizeof head);
  close(file);
  return (got >= 2 && head[0] == '#' && head[1] == '!') || (got == 4 && std::memcmp(head,
                                                                                    "\x7f"
                                                                                    "ELF",
                                                                                    4) == 0);
}

void closeIfOpen(int& descriptor) {
  if (descriptor >= 0) close(descriptor);
  descriptor = -1;
}

}  // namespace

struct HeldProgram::State {
  pid_t child = -1;
  int gate = -1;    // written once to let the child run; closed unwritten, it leaves
  int report = -1;  // the child's errno after a failed exec; closed by a successful one
};

HeldProgram::HeldProgram(const char16_t* programPath) : state_(std::make_unique<State>()) {
  if (programPath == nullptr || programPath[0] == 0) return;
  std::string path = posix::systemPath(programPath);
  if (!looksStartable(path)) return;
  int gate[2];
  int report[2];
  if (pipe2(gate, O_CLOEXEC) != 0) return;
  if (pipe2(report, O_CLOEXEC) != 0) {
    close(gate[0]);
    close(gate[1]);
    return;
  }
  const pid_t child = fork();
  if (child == 0) {
    close(gate[1]);
    close(report[0]);
    char go = 0;
    ssize_t got;
    do {
      got = read(gate[0], &go, 1);
    } while (got < 0 && errno == EINTR);
    // The parent died or gave up before letting it run: nothing runs.
    if (got != 1) _exit(127);
    char* argv[] = {path.data(), nullptr};
    execve(path.c_str(), argv, environ);
    const int error = errno;
    const ssize_t ignored = write(report[1], &error, sizeof error);
    (void)ignored;
    _exit(127);
  }
  close(gate[0]);
  close(report[1]);
  if (child < 0) {
    close(gate[1]);
    close(report[0]);
    return;
  }
  state_->child = child;
  state_->gate = gate[1];
  state_->report = report[0];
}

HeldProgram::~HeldProgram() {
  if (state_->child < 0) return;
  closeIfOpen(state_->gate);
  closeIfOpen(state_->report);
  int status = 0;
  while (waitpid(state_->child, &status, 0) < 0 && errno == EINTR) {
  }
}

bool HeldProgram::started() const { return state_->child >= 0; }

bool HeldProgram::runAndWait() {
  if (state_->child < 0 || state_->gate < 0) return false;
  const char go = 1;
  const bool letGo = write(state_->gate, &go, 1) == 1;
  closeIfOpen(state_->gate);
  int error = 0;
  ssize_t got = -1;
  if (letGo) {
    do {
      got = read(state_->report, &error, sizeof error);
    } while (got < 0 && errno == EINTR);
  }
  closeIfOpen(state_->report);
  int status = 0;
  while (waitpid(state_->child, &status, 0) < 0 && errno == EINTR) {
  }
  state_->child = -1;
  return got == 0;
}

}  // namespace platform
