// Finding the running client by the name of its executable.
#include "engine/ascii_text.h"
#include "engine/auto_update_base.h"
#include "platform/platform.h"

namespace {
constexpr char16_t kClientExecutable[] = u"Quillet.exe";
}

int32_t findClientProcessId() {
  try {
    platform::ProcessSnapshot snapshot;
    platform::ProcessEntry entry;
    if (!snapshot.first(entry)) return 0;
    do {
      if (asciiEqualsIgnoringCase(entry.exeFile.c_str(), kClientExecutable)) {
        return static_cast<int32_t>(entry.processId);
      }
    } while (snapshot.next(entry));
    return 0;
  } catch (...) {
    // Copying a name can exhaust memory; no client is ended then.
    return -1;
  }
}
