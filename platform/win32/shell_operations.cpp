// Tree operations through the shell: SHFileOperationW, one call per request.
#include "platform/platform.h"
#include "platform/win32/win32_wide.h"
// After windows.h, which it needs.
#include <shellapi.h>

namespace platform {

static_assert(static_cast<UINT>(ShellOperation::Move) == FO_MOVE &&
                  static_cast<UINT>(ShellOperation::Copy) == FO_COPY &&
                  static_cast<UINT>(ShellOperation::Delete) == FO_DELETE &&
                  static_cast<UINT>(ShellOperation::Rename) == FO_RENAME,
              "our operation codes are the shell's");
static_assert(kShellSilent == FOF_SILENT && kShellNoConfirmation == FOF_NOCONFIRMATION &&
                  kShellAllowUndo == FOF_ALLOWUNDO && kShellNoConfirmMkdir == FOF_NOCONFIRMMKDIR &&
                  kShellNoErrorUi == FOF_NOERRORUI,
              "our flags are the shell's");

int shellFileOperation(ShellOperation operation, const char16_t* from, const char16_t* to, uint32_t flags) {
  SHFILEOPSTRUCTW request{};
  request.hwnd = nullptr;
  request.wFunc = static_cast<UINT>(operation);
  request.pFrom = win32::wide(from);
  request.pTo = to ? win32::wide(to) : nullptr;
  request.fFlags = static_cast<FILEOP_FLAGS>(flags);
  request.fAnyOperationsAborted = FALSE;
  request.hNameMappings = nullptr;
  request.lpszProgressTitle = nullptr;
  return SHFileOperationW(&request);
}

}  // namespace platform
