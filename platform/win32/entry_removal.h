// Clearing a name before the updater makes a file of its own under it.
#pragma once

#include <windows.h>

namespace platform {
namespace win32 {

// Removes what stands under the name, the entry itself: a file (read-only too),
// a symbolic link, or a junction or link to a folder, never what a link points
// to. A real folder stays, so that a create under the name then fails, and so
// does a link that cannot be opened as itself (a host's link under Wine).
void removeEntryItself(const wchar_t* name);

}  // namespace win32
}  // namespace platform
