// A hook at the start of each file operation of the POSIX layer, so that tests
// can make one chosen operation of a run fail as the system would (a full disk,
// a denied access), or end the process there. Only builds with VELMI_FAULT_INJECTION have a body; in any
// other build the call is a constant false and compiles away.
#pragma once

#include <string>

namespace platform::posix {

enum class FaultSite { Create, Write, Rename, CopyFile, Delete, CreateFolder };

#ifdef VELMI_FAULT_INJECTION
// True when this operation is the one to fail, or when it would write,
// replace or delete the held file (path, in the system's form); error then
// holds its errno value.
bool injectedFault(FaultSite site, int& error, const std::string& path = {});
#else
// Inlined even without optimisation, so that no symbol of it reaches the executable.
[[gnu::always_inline]] inline bool injectedFault(FaultSite, int&, const std::string& = {}) { return false; }
#endif

}  // namespace platform::posix
