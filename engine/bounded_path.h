// Joining texts into the procedures' fixed path buffers, refusing what does not fit.
#pragma once

#include <cstddef>
#include <initializer_list>

#include "engine/ascii_text.h"
#include "engine/paths.h"

// The shell operations write a second NUL behind a path, so a path that one of
// them is handed holds at most this many units in a buffer of kPathBufferLength.
constexpr size_t kShellPathMaxLength = kPathBufferLength - 2;

// Writes the parts one after the other into buffer (room for maxLength units
// and a terminator). False, with buffer emptied, when the result would be longer
// than maxLength or a part is null: a cut path would name another file.
inline bool joinPath(char16_t* buffer, size_t maxLength, std::initializer_list<const char16_t*> parts) {
  size_t at = 0;
  for (const char16_t* part : parts) {
    if (part == nullptr) {
      buffer[0] = 0;
      return false;
    }
    const size_t length = wideLength(part);
    if (length > maxLength - at) {
      buffer[0] = 0;
      return false;
    }
    for (size_t i = 0; i < length; ++i) buffer[at++] = part[i];
  }
  buffer[at] = 0;
  return true;
}
