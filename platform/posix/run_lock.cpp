// One run at a time per folder on POSIX: flock on the folder itself, which the
// system releases when the holder dies, and which leaves no file behind.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform.h"
#include "platform/posix/posix_path.h"

namespace platform {

struct RunLock::State {
  int folder = -1;
};

RunLock::RunLock(const char16_t* folder) : state_(std::make_unique<State>()) {
  if (folder == nullptr || folder[0] == 0) return;
  // Close-on-exec: a started installer must not hold the lock on after us.
  state_->folder = open(posix::systemPath(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (state_->folder < 0) return;
  int result;
  do {
    result = flock(state_->folder, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    close(state_->folder);
    state_->folder = -1;
  }
}

RunLock::~RunLock() {
  if (state_->folder >= 0) close(state_->folder);
}

bool RunLock::held() const { return state_->folder >= 0; }

}  // namespace platform
