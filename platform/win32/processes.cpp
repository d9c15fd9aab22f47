// Running processes: the tool-help snapshot, ending a process, and a program
// started held, then run to its end.
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

struct HeldProgram::State {
  HANDLE process = nullptr;
  HANDLE thread = nullptr;
  HANDLE job = nullptr;  // null when none could be made or joined: the program is held all the same
};

namespace {

bool setJobLimits(HANDLE job, DWORD limitFlags) {
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = limitFlags;
  return SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) != FALSE;
}

// Should the updater die while holding the program, closing its last handle
// to the job kills the program before it has run a single instruction.
HANDLE jobThatKillsOnClose(HANDLE process) {
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (job == nullptr) return nullptr;
  if (setJobLimits(job, JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE) && AssignProcessToJobObject(job, process)) return job;
  CloseHandle(job);
  return nullptr;
}

void closeAndClear(HANDLE& handle) {
  if (handle != nullptr) CloseHandle(handle);
  handle = nullptr;
}

}  // namespace

HeldProgram::HeldProgram(const char16_t* programPath) : state_(std::make_unique<State>()) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(win32::wide(programPath), nullptr, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                      &startup, &started)) {
    return;
  }
  state_->process = started.hProcess;
  state_->thread = started.hThread;
  state_->job = jobThatKillsOnClose(started.hProcess);
}

HeldProgram::~HeldProgram() {
  if (state_->process != nullptr) TerminateProcess(state_->process, 1);
  closeAndClear(state_->thread);
  closeAndClear(state_->process);
  closeAndClear(state_->job);
}

bool HeldProgram::started() const { return state_->process != nullptr; }

bool HeldProgram::runAndWait() {
  if (state_->process == nullptr) return false;
  // An installer commonly ends the program that started it; it must not take
  // itself down with the job when it does.
  if (state_->job != nullptr) setJobLimits(state_->job, 0);
  const bool resumed = ResumeThread(state_->thread) != static_cast<DWORD>(-1);
  if (resumed) WaitForSingleObject(state_->process, INFINITE);
  // One that could not be let go is ended as one never let run would be.
  if (!resumed) TerminateProcess(state_->process, 1);
  closeAndClear(state_->thread);
  closeAndClear(state_->process);
  closeAndClear(state_->job);
  return resumed;
}

}  // namespace platform
