// A stand-in full installer for the Wine tests. It records how it was started
// (working folder, command line, argument count) and whether the updater's
// executable was parked, with a copy in its place, while it ran, then ends.
// It takes its time first, so a record that exists once the updater has ended
// shows that the updater waited.
//
// Environment: VELMI_PROBE_RECORD (where to write, a Windows path),
// VELMI_PROBE_INSTALL (the installation folder, with its trailing "\") and
// VELMI_PROBE_PAUSE_MS (how long it takes; 1500 when unset).
#include <windows.h>

#include <string>

namespace {

std::wstring environmentValue(const wchar_t* name) {
  wchar_t value[1024] = {};
  const DWORD length = GetEnvironmentVariableW(name, value, 1024);
  return length > 0 && length < 1024 ? std::wstring(value, length) : std::wstring();
}

std::string toUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size, nullptr, nullptr);
  return bytes;
}

bool writeWhole(const std::wstring& path, const std::string& content) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
                  written == content.size();
  CloseHandle(file);
  return ok;
}

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
  (void)argv;
  const std::wstring record = environmentValue(L"VELMI_PROBE_RECORD");
  const std::wstring install = environmentValue(L"VELMI_PROBE_INSTALL");
  if (record.empty()) return 2;

  wchar_t folder[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, folder);
  // Parked, with a copy under the executable's own name for an installer to replace.
  const bool parked = GetFileAttributesW((install + L"VelmiUpdate_Rename.exe").c_str()) != INVALID_FILE_ATTRIBUTES;
  const bool copyInPlace = GetFileAttributesW((install + L"VelmiUpdate.exe").c_str()) != INVALID_FILE_ATTRIBUTES;

  const std::wstring pause = environmentValue(L"VELMI_PROBE_PAUSE_MS");
  Sleep(pause.empty() ? 1500 : static_cast<DWORD>(std::stoul(pause)));

  std::string text;
  text += "folder=" + toUtf8(folder) + "\n";
  text += "commandline=" + toUtf8(GetCommandLineW()) + "\n";
  text += "argc=" + std::to_string(argc) + "\n";
  text += std::string("parked=") + (parked && copyInPlace ? "yes" : "no") + "\n";
  // Written under another name first, so the record appears whole or not at all.
  const std::wstring partial = record + L".partial";
  if (!writeWhole(partial, text)) return 3;
  return MoveFileExW(partial.c_str(), record.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 4;
}
