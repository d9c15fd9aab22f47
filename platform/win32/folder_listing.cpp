// One enumeration of a folder pattern with FindFirstFileW / FindNextFileW.
#include "platform/platform.h"
#include "platform/win32/win32_wide.h"

namespace platform {

struct FolderListing::State {
  HANDLE find = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW data{};
  bool firstPending = false;  // FindFirstFileW already holds the first entry
};

FolderListing::FolderListing(const char16_t* pattern, ListingDetail) : state_(std::make_unique<State>()) {
  state_->find = FindFirstFileW(win32::wide(pattern), &state_->data);
  state_->firstPending = state_->find != INVALID_HANDLE_VALUE;
}

FolderListing::~FolderListing() {
  if (state_->find != INVALID_HANDLE_VALUE) FindClose(state_->find);
}

bool FolderListing::valid() const { return state_->find != INVALID_HANDLE_VALUE; }

bool FolderListing::next(FolderEntry& entry) {
  if (!valid()) return false;
  if (state_->firstPending) {
    state_->firstPending = false;
  } else if (!FindNextFileW(state_->find, &state_->data)) {
    return false;
  }
  entry.name = win32::utf16(state_->data.cFileName);
  entry.attributes = state_->data.dwFileAttributes;
  return true;
}

}  // namespace platform
