// One run at a time per folder: a named mutex, which the system releases when
// its holder dies, and which leaves nothing on disk. Its name stands for the
// folder's path, letters without case as the file system compares them.
#include "platform/platform.h"
#include "platform/win32/win32_wide.h"

#include <string>

namespace platform {

struct RunLock::State {
  HANDLE mutex = nullptr;
};

namespace {

std::wstring mutexNameFor(const char16_t* folder) {
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (const char16_t* unit = folder; *unit != 0; ++unit) {
    const char16_t upper = *unit >= u'a' && *unit <= u'z' ? static_cast<char16_t>(*unit - u'a' + u'A') : *unit;
    hash = (hash ^ upper) * 1099511628211ull;
  }
  wchar_t digits[17] = {};
  for (int i = 15; i >= 0; --i, hash >>= 4) digits[i] = L"0123456789abcdef"[hash & 0xF];
  // Global: runs from other sessions of the same user count as well.
  return std::wstring(L"Global\\VelmiUpdate-") + digits;
}

}  // namespace

RunLock::RunLock(const char16_t* folder) : state_(std::make_unique<State>()) {
  if (folder == nullptr || folder[0] == 0) return;
  // Not inherited: a started installer must not hold the lock on after us.
  HANDLE mutex = CreateMutexW(nullptr, FALSE, mutexNameFor(folder).c_str());
  if (mutex == nullptr) return;
  const DWORD waited = WaitForSingleObject(mutex, 0);
  // An abandoned mutex is one whose holder died: it is ours now.
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
    state_->mutex = mutex;
    return;
  }
  CloseHandle(mutex);
}

RunLock::~RunLock() {
  if (state_->mutex == nullptr) return;
  ReleaseMutex(state_->mutex);
  CloseHandle(state_->mutex);
}

bool RunLock::held() const { return state_->mutex != nullptr; }

}  // namespace platform
