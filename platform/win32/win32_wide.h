// The boundary between our UTF-16 text and the Windows API's wide text.
// Both are 16-bit code units of the same encoding; only the C++ types differ.
#pragma once

#include <windows.h>

static_assert(sizeof(wchar_t) == 2, "Windows wide text is UTF-16");
static_assert(sizeof(wchar_t) == sizeof(char16_t), "char16_t and wchar_t must share a layout");

namespace platform {
namespace win32 {

inline const wchar_t* wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* wide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
inline const char16_t* utf16(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }

inline HANDLE toHandle(intptr_t value) { return reinterpret_cast<HANDLE>(value); }
inline intptr_t fromHandle(HANDLE handle) { return reinterpret_cast<intptr_t>(handle); }

}  // namespace win32
}  // namespace platform
