// A stand-in for the running client, copied to "Quillet.exe" by the Wine tests.
// It marks that it runs, then waits; should nobody end it, it stops by itself
// after a minute and says so.
//
// Environment: VELMI_PROBE_STARTED and VELMI_PROBE_FINISHED (Windows paths).
#include <windows.h>

namespace {

void touch(const wchar_t* variable) {
  wchar_t path[1024] = {};
  const DWORD length = GetEnvironmentVariableW(variable, path, 1024);
  if (length == 0 || length >= 1024) return;
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

}  // namespace

int wmain() {
  touch(L"VELMI_PROBE_STARTED");
  Sleep(60 * 1000);
  touch(L"VELMI_PROBE_FINISHED");
  return 7;
}
