// What a file handle does the same on every system: ownership moves, the destructor closes.
#include <utility>

#include "platform/platform.h"

namespace platform {

File::~File() { close(); }

File::File(File&& other) noexcept : handle_(std::exchange(other.handle_, kInvalidHandle)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = std::exchange(other.handle_, kInvalidHandle);
  }
  return *this;
}

}  // namespace platform
