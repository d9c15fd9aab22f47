// The Windows entry point.
//
// VelmiUpdate.exe is a wide console program linked with -municode: the C
// runtime reads the command line as UTF-16 and calls wmain itself. This
// toolchain, like the platform's own compiler, gives wmain its plain C name
// whatever its parameter types, so the program's wmain(int, char16_t*[]) is
// that entry: the runtime's wchar_t strings are UTF-16 strings of the same
// layout. Nothing needs converting here; this file only pins that down.
#include <type_traits>

#include "platform/platform.h"
#include "platform/win32/win32_wide.h"

static_assert(std::is_same<decltype(&wmain), int (*)(int, char16_t**)>::value,
              "the program's wmain is the runtime's wide entry point");
