// Joining texts into the procedures' fixed path buffers, refusing what does not fit.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>

#include "engine/paths.h"
#include "engine/tree_operations.h"

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
    const size_t length = std::char_traits<char16_t>::length(part);
    if (length > maxLength - at) {
      buffer[0] = 0;
      return false;
    }
    for (size_t i = 0; i < length; ++i) buffer[at++] = part[i];
  }
  buffer[at] = 0;
  return true;
}
