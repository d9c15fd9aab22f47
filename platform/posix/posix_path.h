// Paths as the POSIX system takes them: UTF-8, with every "\" turned into "/".
#pragma once

#include <string>

namespace platform::posix {

std::string systemPath(const char16_t* path);
std::string toUtf8(const char16_t* text, size_t length);
std::u16string fromUtf8(const char* text, size_t length);

// A path as the system reports it, in UTF-16. False for one holding "\": on
// its way back that would become "/" and name another path.
bool fromSystemPath(const std::string& path, std::u16string& wide);

}  // namespace platform::posix
