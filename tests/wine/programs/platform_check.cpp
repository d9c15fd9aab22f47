// The Win32 platform layer on its own, run under Wine by the Wine tests (there
// is no GoogleTest for this toolchain). It works in the folder given as its
// first argument and writes one line per failed check, then a summary line,
// to the report file given as its second; the exit code is the failure count.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace {

std::string report;
int passed = 0;
int failed = 0;

void check(bool condition, const char* what, int line) {
  if (condition) {
    ++passed;
    return;
  }
  ++failed;
  report += "line " + std::to_string(line) + ": " + what + "\n";
}
#define CHECK(condition) check((condition), #condition, __LINE__)

uint64_t value(const platform::FileTime& time) { return (static_cast<uint64_t>(time.high) << 32) | time.low; }

// 2024-02-03 04:05:06 UTC as a Windows file time.
constexpr uint64_t kSampleFileTime = (1706933106ull + 11644473600ull) * 10000000ull;

void checkText() {
  char16_t wide[16] = {};
  CHECK(platform::multiByteToWide(platform::CodePage::Utf8, "h\xC3\xA9", -1, nullptr, 0) == 3);
  CHECK(platform::multiByteToWide(platform::CodePage::Utf8, "h\xC3\xA9", -1, wide, 16) == 3);
  CHECK(std::u16string(wide) == u"h\u00e9");
  CHECK(platform::multiByteToWide(platform::CodePage::Utf8, "a\xFF", -1, wide, 16) == 3);
  CHECK(wide[1] == u'\xFFFD');
  CHECK(platform::multiByteToWide(platform::CodePage::Utf8, "abcdef", -1, wide, 3) == 0);
  CHECK(platform::multiByteToWide(platform::CodePage::Ansi, "downupdatefile", -1, wide, 16) == 15);
  CHECK(std::u16string(wide) == u"downupdatefile");

  char narrow[16] = {};
  CHECK(platform::wideToMultiByte(platform::CodePage::Utf8, u"h\u00e9", -1, nullptr, 0) == 4);
  CHECK(platform::wideToMultiByte(platform::CodePage::Utf8, u"\xD800", -1, narrow, 16) == 4);
  CHECK(std::strcmp(narrow, "\xEF\xBF\xBD") == 0);
  CHECK(platform::toSystemPathForm(u"C:\\a\\b") == u"C:\\a\\b");
  // 0x95 opens a two-byte character in code page 932 only; UTF-8 has none.
  CHECK(platform::isLeadByte(platform::CodePage::Ansi, '\x95') == (GetACP() == 932));
  CHECK(!platform::isLeadByte(platform::CodePage::Ansi, 'a'));
  CHECK(!platform::isLeadByte(platform::CodePage::Utf8, '\xC3'));
}

void checkFilesAndFolders(const std::u16string& root) {
  const std::u16string folder = root + u"\\files";
  CHECK(platform::createFolder(folder.c_str()));
  CHECK(!platform::createFolder(folder.c_str()));
  CHECK(!platform::createFolder((root + u"\\missing\\child").c_str()));
  CHECK(platform::pathExists(folder.c_str()));

  const std::u16string path = folder + u"\\sample.txt";
  {
    platform::File file = platform::File::createForWriting(path.c_str());
    CHECK(file.isOpen());
    uint32_t written = 0;
    CHECK(file.write("hello world", 11, written) && written == 11);
    CHECK(file.isDiskFile());
    platform::FileTime time{static_cast<uint32_t>(kSampleFileTime), static_cast<uint32_t>(kSampleFileTime >> 32)};
    CHECK(file.setTimes(nullptr, nullptr, &time));
  }
  {
    platform::File file = platform::File::openForReading(path.c_str());
    CHECK(file.isOpen());
    char buffer[16] = {};
    uint32_t read = 0;
    CHECK(file.read(buffer, 5, read) && read == 5 && std::memcmp(buffer, "hello", 5) == 0);
    uint64_t position = 0;
    CHECK(file.seek(0, platform::SeekOrigin::Current, &position) && position == 5);
    CHECK(file.seek(0, platform::SeekOrigin::End, &position) && position == 11);
    CHECK(file.seek(-5, platform::SeekOrigin::End, &position) && position == 6);
    CHECK(file.read(buffer, 16, read) && read == 5 && std::memcmp(buffer, "world", 5) == 0);
    CHECK(file.read(buffer, 16, read) && read == 0);
    CHECK(!file.seek(-1, platform::SeekOrigin::Begin));
    platform::File moved = std::move(file);
    CHECK(!file.isOpen() && moved.isOpen());
  }
  CHECK(!platform::File::openForReading((folder + u"\\absent.txt").c_str()).isOpen());

  {
    HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    FILETIME lastWrite{};
    CHECK(GetFileTime(handle, nullptr, nullptr, &lastWrite));
    CHECK(((static_cast<uint64_t>(lastWrite.dwHighDateTime) << 32) | lastWrite.dwLowDateTime) == kSampleFileTime);
    CloseHandle(handle);
  }

  CHECK(platform::createFolder((folder + u"\\sub").c_str()));
  {
    platform::FolderListing listing((folder + u"\\*.*").c_str());
    CHECK(listing.valid());
    platform::FolderEntry entry;
    bool sawFile = false, sawFolder = false, sawDot = false;
    while (listing.next(entry)) {
      if (entry.name == u"sample.txt") sawFile = (entry.attributes & platform::kAttributeDirectory) == 0;
      if (entry.name == u"sub") sawFolder = (entry.attributes & platform::kAttributeDirectory) != 0;
      if (entry.name == u".") sawDot = true;
    }
    CHECK(sawFile && sawFolder && sawDot);
    CHECK(!listing.next(entry));
  }
  CHECK(!platform::FolderListing((root + u"\\missing\\*.*").c_str()).valid());

  CHECK(platform::setCurrentFolder(folder.c_str()));
  char16_t current[512] = {};
  CHECK(platform::getCurrentFolder(current, 2) == folder.size() + 1);
  CHECK(platform::getCurrentFolder(current, 512) == folder.size());
  CHECK(std::u16string(current) == folder);
  CHECK(platform::setCurrentFolder(root.c_str()));

  CHECK(!platform::deleteFile((folder + u"\\sub").c_str()));
  CHECK(platform::deleteFile(path.c_str()));
  CHECK(!platform::pathExists(path.c_str()));
}

// Paths for the shell: each list ends with a second NUL.
std::u16string list(const std::u16string& path) { return path + u'\0'; }

void checkShellOperations(const std::u16string& root) {
  const std::u16string source = root + u"\\tree";
  CHECK(platform::createFolder(source.c_str()));
  CHECK(platform::createFolder((source + u"\\inner").c_str()));
  {
    platform::File file = platform::File::createForWriting((source + u"\\inner\\leaf.txt").c_str());
    uint32_t written = 0;
    CHECK(file.write("leaf", 4, written));
  }
  const std::u16string target = root + u"\\copy";
  CHECK(platform::createFolder(target.c_str()));
  const uint32_t copyFlags = platform::kShellSilent | platform::kShellNoConfirmation | platform::kShellNoConfirmMkdir |
                             platform::kShellNoErrorUi;
  CHECK(platform::shellFileOperation(platform::ShellOperation::Copy, list(source + u"\\*").c_str(),
                                     list(target).c_str(), copyFlags) == 0);
  CHECK(platform::pathExists((target + u"\\inner\\leaf.txt").c_str()));

  const std::u16string renamed = root + u"\\renamed";
  CHECK(platform::shellFileOperation(platform::ShellOperation::Rename, list(target).c_str(), list(renamed).c_str(),
                                     platform::kShellNoConfirmation | platform::kShellNoConfirmMkdir) == 0);
  CHECK(!platform::pathExists(target.c_str()) && platform::pathExists((renamed + u"\\inner\\leaf.txt").c_str()));

  const uint32_t deleteFlags = platform::kShellNoConfirmation | platform::kShellNoErrorUi;
  CHECK(platform::shellFileOperation(platform::ShellOperation::Delete, list(renamed).c_str(), nullptr, deleteFlags) ==
        0);
  CHECK(!platform::pathExists(renamed.c_str()));
}

void writeText(const std::u16string& path, const char* text) {
  platform::File file = platform::File::createForWriting(path.c_str());
  uint32_t written = 0;
  CHECK(file.write(text, static_cast<uint32_t>(std::strlen(text)), written));
}

std::string readText(const std::u16string& path) {
  platform::File file = platform::File::openForReading(path.c_str());
  char buffer[64] = {};
  uint32_t read = 0;
  file.read(buffer, sizeof buffer, read);
  return std::string(buffer, read);
}

uint64_t lastWrite(const std::u16string& path) {
  HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  FILETIME time{};
  GetFileTime(handle, nullptr, nullptr, &time);
  CloseHandle(handle);
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Links the host made (see wine_platform_test.cpp): Wine shows one to a folder
// as a reparse point yet opens what it points to, so it is reached as a folder
// and never removed, nor is its target, an empty one included.
void checkHostLinks(const std::u16string& root) {
  for (const char16_t* name : {u"\\links\\to folder", u"\\links\\to empty"}) {
    const std::u16string link = root + name;
    CHECK(platform::entryKind(link.c_str()) == platform::EntryKind::Link);
    CHECK(platform::reachedKind(link.c_str()) == platform::EntryKind::Folder);
    CHECK(!platform::deleteOwnFile(link.c_str()));
  }
  CHECK(platform::pathExists((root + u"\\links\\folder\\kept.txt").c_str()));
  CHECK(platform::pathExists((root + u"\\links\\empty").c_str()));
}

void checkEntriesAndReplacements(const std::u16string& root) {
  const std::u16string folder = root + u"\\replace";
  const std::u16string inUse = folder + u"\\in-use.txt";
  const std::u16string copy = folder + u"\\copy.tmp";
  const std::u16string parked = folder + u"\\parked.txt";
  CHECK(platform::createFolder(folder.c_str()));
  writeText(inUse, "in use");
  CHECK(platform::entryKind(folder.c_str()) == platform::EntryKind::Folder);
  CHECK(platform::entryKind(inUse.c_str()) == platform::EntryKind::File);
  CHECK(platform::entryKind(copy.c_str()) == platform::EntryKind::None);
  // A drive letter that names no drive tells nothing of what stands there.
  const DWORD drives = GetLogicalDrives();
  char16_t missing = u'D';
  while (missing < u'Z' && (drives & (1u << (missing - u'A'))) != 0) ++missing;
  CHECK(platform::entryKind((std::u16string(1, missing) + u":\\x").c_str()) == platform::EntryKind::Unknown);
  CHECK(platform::reachedKind(folder.c_str()) == platform::EntryKind::Folder);
  CHECK(platform::reachedKind(inUse.c_str()) == platform::EntryKind::File);
  CHECK(platform::reachedKind(copy.c_str()) == platform::EntryKind::None);
  CHECK(platform::reachedKind((std::u16string(1, missing) + u":\\x").c_str()) == platform::EntryKind::Unknown);
  // The folder a path reaches, whatever its spelling.
  platform::FileIdentity spelled, respelled, ofFile;
  CHECK(platform::readReachedIdentity(folder.c_str(), spelled));
  CHECK(platform::readReachedIdentity((root + u"\\REPLACE\\.").c_str(), respelled));
  CHECK(platform::readReachedIdentity(inUse.c_str(), ofFile));
  CHECK(spelled == respelled && !(spelled == ofFile));
  CHECK(!platform::readReachedIdentity(copy.c_str(), ofFile));

  CHECK(platform::copyFile(inUse.c_str(), copy.c_str()));
  CHECK(platform::replaceKeepingOriginal(inUse.c_str(), copy.c_str(), parked.c_str()));
  CHECK(!platform::pathExists(copy.c_str()) && readText(inUse) == "in use" && readText(parked) == "in use");
  writeText(copy, "another");
  CHECK(!platform::replaceKeepingOriginal(inUse.c_str(), copy.c_str(), parked.c_str()));
  CHECK(readText(inUse) == "in use" && readText(copy) == "another");

  platform::FileStamp first, second;
  CHECK(platform::readFileStamp(inUse.c_str(), first) && platform::readFileStamp(inUse.c_str(), second));
  CHECK(first == second);
  // A copy replaces a read-only file, as the rollback needs, and never loses a file copied onto itself.
  CHECK(SetFileAttributesW(reinterpret_cast<const wchar_t*>(inUse.c_str()), FILE_ATTRIBUTE_READONLY));
  CHECK(!platform::copyFile(inUse.c_str(), inUse.c_str()) && readText(inUse) == "in use");
  CHECK(platform::copyFile(copy.c_str(), inUse.c_str()));
  CHECK(platform::readFileStamp(inUse.c_str(), second) && !(first == second));
  CHECK(!platform::readFileStamp((folder + u"\\none").c_str(), second));

  {
    platform::File file = platform::File::openForReading(parked.c_str());
    platform::FileTime time{static_cast<uint32_t>(kSampleFileTime), static_cast<uint32_t>(kSampleFileTime >> 32)};
    CHECK(file.setTimes(nullptr, nullptr, &time));
  }
  CHECK(platform::matchTimesAndPermissions(parked.c_str(), copy.c_str()));
  CHECK(lastWrite(copy) == kSampleFileTime);
  CHECK(!platform::matchTimesAndPermissions((folder + u"\\none").c_str(), copy.c_str()));
  CHECK(platform::moveIntoPlace(parked.c_str(), inUse.c_str()));
  CHECK(!platform::pathExists(parked.c_str()) && readText(inUse) == "in use");
  CHECK(!platform::removeFolder(folder.c_str()));
  CHECK(platform::deleteFile(inUse.c_str()) && platform::deleteFile(copy.c_str()));
  CHECK(platform::removeFolder(folder.c_str()));
  CHECK(!platform::pathExists(folder.c_str()));
}

DWORD WINAPI lockFromAnotherThread(void* folder) {
  platform::RunLock lock(static_cast<const char16_t*>(folder));
  return lock.held() ? 0 : 1;
}

// 1 when another thread cannot take the folder's lock.
DWORD heldForAnotherThread(const std::u16string& folder) {
  HANDLE thread = CreateThread(nullptr, 0, lockFromAnotherThread, const_cast<char16_t*>(folder.c_str()), 0, nullptr);
  DWORD result = 2;
  if (thread != nullptr && WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0) GetExitCodeThread(thread, &result);
  if (thread != nullptr) CloseHandle(thread);
  return result;
}

void checkRunLock(const std::u16string& root) {
  {
    platform::RunLock lock(root.c_str());
    CHECK(lock.held());
    CHECK(heldForAnotherThread(root) == 1);
    CHECK(heldForAnotherThread(root + u"\\other") == 0);
  }
  CHECK(heldForAnotherThread(root) == 0);
}

void checkProgramAndProcesses(const std::u16string& root) {
  char16_t path[512] = {};
  const uint32_t length = platform::getModuleFilePath(path, 512);
  const std::u16string own(path, length);
  CHECK(length > 0 && own.size() > 18 && own.substr(own.size() - 18) == u"platform_check.exe");
  CHECK(platform::getModuleFilePath(path, 5) == 5);

  char16_t roaming[512] = {};
  CHECK(platform::getRoamingAppDataFolder(roaming, 512));
  const std::u16string roamingText(roaming);
  CHECK(roamingText.size() > 16 && roamingText.substr(roamingText.size() - 16) == u"\\AppData\\Roaming");
  CHECK(!platform::getRoamingAppDataFolder(roaming, static_cast<uint32_t>(roamingText.size())));

  platform::ProcessSnapshot snapshot;
  CHECK(snapshot.valid());
  platform::ProcessEntry entry;
  bool sawSelf = false;
  for (bool more = snapshot.first(entry); more; more = snapshot.next(entry)) {
    if (entry.exeFile == u"platform_check.exe" && entry.processId == GetCurrentProcessId()) sawSelf = true;
  }
  CHECK(sawSelf);

  CHECK(!platform::terminateProcessById(0xFFFFFFF0u, 0));
  platform::HeldProgram missing(u"C:\\no such folder\\no such program.exe");
  CHECK(!missing.started() && !missing.runAndWait());
  // The probe writes a record where its environment says; one never let run writes none.
  const std::u16string probe = root + u"\\installer_probe.exe";
  SetEnvironmentVariableW(L"VELMI_PROBE_PAUSE_MS", L"0");
  SetEnvironmentVariableW(L"VELMI_PROBE_RECORD", reinterpret_cast<const wchar_t*>((root + u"\\held.txt").c_str()));
  { CHECK(platform::HeldProgram(probe.c_str()).started()); }
  SetEnvironmentVariableW(L"VELMI_PROBE_RECORD", reinterpret_cast<const wchar_t*>((root + u"\\ran.txt").c_str()));
  platform::HeldProgram probeLetRun(probe.c_str());
  CHECK(probeLetRun.started() && probeLetRun.runAndWait());
  CHECK(readText(root + u"\\ran.txt").rfind("folder=", 0) == 0);
  CHECK(!platform::pathExists((root + u"\\held.txt").c_str()));
}

void checkTimes() {
  platform::FileTime time;
  CHECK(platform::dosDateTimeToFileTime(0x5843, 0x20A3, time) && value(time) == kSampleFileTime);
  platform::SystemTime fields;
  fields.year = 2024;
  fields.month = 2;
  fields.day = 3;
  fields.hour = 4;
  fields.minute = 5;
  fields.second = 6;
  CHECK(platform::systemTimeToFileTime(fields, time) && value(time) == kSampleFileTime);
  fields.month = 13;
  CHECK(!platform::systemTimeToFileTime(fields, time));

  platform::SystemTime split;
  CHECK(platform::utcSecondsToSystemTime(1706933106, split));
  CHECK(split.year == 2024 && split.month == 2 && split.day == 3 && split.hour == 4 && split.minute == 5 &&
        split.second == 6 && split.dayOfWeek == 6 && split.milliseconds == 0);
}

void checkMappings() {
  const platform::MappingHandle mapping = platform::createPageFileMapping(8192);
  CHECK(mapping != platform::kNoMapping);
  auto* view = static_cast<unsigned char*>(platform::mapWholeView(mapping, 8192));
  CHECK(view != nullptr);
  if (view) {
    view[0] = 1;
    view[8191] = 2;
    CHECK(view[0] == 1 && view[8191] == 2);
    CHECK(platform::unmapView(view, 8192));
  }
  CHECK(platform::closeMapping(mapping));
}

}  // namespace

int wmain(int argc, char16_t* argv[]) {
  if (argc < 3) return 100;
  const std::u16string root = argv[1];
  checkText();
  checkFilesAndFolders(root);
  checkShellOperations(root);
  checkEntriesAndReplacements(root);
  checkHostLinks(root);
  checkRunLock(root);
  checkProgramAndProcesses(root);
  checkTimes();
  checkMappings();

  report += std::to_string(passed) + " passed, " + std::to_string(failed) + " failed\n";
  platform::File out = platform::File::createForWriting(argv[2]);
  uint32_t written = 0;
  out.write(report.data(), static_cast<uint32_t>(report.size()), written);
  return failed;
}
