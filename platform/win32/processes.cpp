// Running processes: the tool-help snapshot, ending a process, and running a
// program to its end.
#include <windows.h>
// tlhelp32.h needs windows.h first.
#include <tlhelp32.h>

#include "platform/platform.h"
#include "platform/win32/win32_wide.h"

namespace platform {

struct ProcessSnapshot::State {
  HANDLE snapshot = INVALID_HANDLE_VALUE;
};

namespace {
bool copyEntry(const PROCESSENTRY32W& process, ProcessEntry& entry) {
  entry.processId = process.th32ProcessID;
  entry.exeFile = win32::utf16(process.szExeFile);
  return true;
}
}  // namespace

ProcessSnapshot::ProcessSnapshot() : state_(std::make_unique<State>()) {
  state_->snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPALL, 0);
}

ProcessSnapshot::~ProcessSnapshot() {
  if (valid()) CloseHandle(state_->snapshot);
}

bool ProcessSnapshot::valid() const { return state_->snapshot != INVALID_HANDLE_VALUE; }

bool ProcessSnapshot::first(ProcessEntry& entry) {
  PROCESSENTRY32W process{};
  process.dwSize = sizeof(process);
  if (!valid() || !Process32FirstW(state_->snapshot, &process)) return false;
  return copyEntry(process, entry);
}

bool ProcessSnapshot::next(ProcessEntry& entry) {
  PROCESSENTRY32W process{};
  process.dwSize = sizeof(process);
  if (!valid() || !Process32NextW(state_->snapshot, &process)) return false;
  return copyEntry(process, entry);
}

bool terminateProcessById(uint32_t processId, uint32_t exitCode) {
  static_assert((PROCESS_TERMINATE | SYNCHRONIZE) == 0x100001, "the rights the updater asks for");
  HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
  if (process == nullptr) return false;
  const bool ended = TerminateProcess(process, exitCode) != FALSE;
  CloseHandle(process);
  return ended;
}

bool runProgramAndWait(const char16_t* programPath) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(win32::wide(programPath), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &started)) {
    return false;
  }
  WaitForSingleObject(started.hProcess, INFINITE);
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return true;
}

}  // namespace platform
