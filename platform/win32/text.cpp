// Code-page conversion with the system's own functions.
#include "platform/platform.h"
#include "platform/win32/win32_wide.h"

namespace platform {

namespace {
UINT systemCodePage(CodePage codePage) { return codePage == CodePage::Utf8 ? CP_UTF8 : CP_ACP; }
}  // namespace

int multiByteToWide(CodePage codePage, const char* src, int srcLength, char16_t* dst, int dstCapacity) {
  return MultiByteToWideChar(systemCodePage(codePage), 0, src, srcLength, win32::wide(dst), dstCapacity);
}

int wideToMultiByte(CodePage codePage, const char16_t* src, int srcLength, char* dst, int dstCapacity) {
  return WideCharToMultiByte(systemCodePage(codePage), 0, win32::wide(src), srcLength, dst, dstCapacity, nullptr,
                             nullptr);
}

bool isLeadByte(CodePage codePage, char byte) {
  return codePage == CodePage::Ansi && IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(byte)) != FALSE;
}

// Windows takes the updater's paths as they are.
std::u16string toSystemPathForm(const char16_t* path) { return std::u16string(path); }

}  // namespace platform
