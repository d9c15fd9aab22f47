// Every service of the operating system that the updater uses, in our own names.
//
// Paths cross this interface as NUL-terminated UTF-16 text. The updater builds
// Windows paths joined with "\"; an implementation hands them to its system in
// the system's own form. Results follow the Windows calls these functions stand
// for, so that the Windows implementation is a thin call and every other one
// emulates it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// The program's wide entry point. The program defines it; the platform's own
// entry point calls it with the command line in UTF-16 and returns its result.
int wmain(int argc, char16_t* argv[]);

namespace platform {

// ---------------------------------------------------------------- text

enum class CodePage { Ansi, Utf8 };

// MultiByteToWideChar: srcLength -1 reads up to and including the terminator.
// With dstCapacity 0 the result is the number of units needed. Returns the
// number of units written (terminator included when it was read), or 0 on
// failure, also when dst is too small. Bytes that are not valid in the code
// page become U+FFFD on Windows. On POSIX, whose names are bytes in no fixed
// encoding, each such byte becomes a lone surrogate U+DC80 to U+DCFF instead,
// so that wideToMultiByte gives the same bytes back.
int multiByteToWide(CodePage codePage, const char* src, int srcLength, char16_t* dst, int dstCapacity);

// WideCharToMultiByte, the same conventions. An unpaired surrogate becomes
// U+FFFD (on POSIX one of U+DC80 to U+DCFF becomes its byte again); a
// character that the code page lacks becomes its default character.
int wideToMultiByte(CodePage codePage, const char16_t* src, int srcLength, char* dst, int dstCapacity);

// IsDBCSLeadByteEx: the byte opens a two-byte character of the code page, so
// the byte after it belongs to that character, even where it looks like "\"
// or a letter.
bool isLeadByte(CodePage codePage, char byte);

// The path in the form this system writes paths: on POSIX every "\" becomes "/".
// For code that hands a path to a library rather than to this layer.
std::u16string toSystemPathForm(const char16_t* path);

// ---------------------------------------------------------------- files and folders

constexpr uint32_t kAttributeReadOnly = 0x01;
constexpr uint32_t kAttributeHidden = 0x02;
constexpr uint32_t kAttributeSystem = 0x04;
constexpr uint32_t kAttributeDirectory = 0x10;
constexpr uint32_t kAttributeArchive = 0x20;
constexpr uint32_t kAttributeNormal = 0x80;

// PathFileExistsW: a file or a folder of that path exists.
bool pathExists(const char16_t* path);

// CreateDirectoryW: creates one folder level; false when it exists already or
// its parent is missing.
bool createFolder(const char16_t* path);

// DeleteFileW: deletes one file (never a folder).
bool deleteFile(const char16_t* path);

// Deletes a file of the updater's own, or a link itself: a read-only one too,
// whose attribute is cleared first (DeleteFileW alone refuses it). Never a folder.
bool deleteOwnFile(const char16_t* path);

// Gives target the permission bits of source. Windows has none to carry (a
// program runs by its name there), so it does nothing and succeeds.
bool copyPermissions(const char16_t* source, const char16_t* target);

// Gives the file at target the last-write time and the permission bits of the
// file at source, where they differ (SetFileTime; Windows has no bits to carry).
// False when that could not be done.
bool matchTimesAndPermissions(const char16_t* source, const char16_t* target);

// SetCurrentDirectoryW.
bool setCurrentFolder(const char16_t* path);

// What stands under a path, the entry itself: a symbolic link or a junction
// is a Link, never followed (GetFileAttributesW, FILE_ATTRIBUTE_REPARSE_POINT).
// Unknown when the query fails for any reason but "not found", and on a drive
// letter that names no drive: something may stand there, and a caller must not
// take it for nothing.
enum class EntryKind { None, File, Folder, Link, Unknown };
EntryKind entryKind(const char16_t* path);

// What a path reaches, following a link or junction that stands under it (a
// user may move a program's folder to another drive and leave a junction in
// its place); otherwise as entryKind. Never Link.
EntryKind reachedKind(const char16_t* path);

// RemoveDirectoryW: removes an empty folder, or a link to a folder itself.
bool removeFolder(const char16_t* path);

// The name under which a copy on POSIX writes a file that replaces another,
// in the same folder, before it renames it into place (the Windows shell
// copies in place). A copy that dies leaves one; a copy never removes one.
constexpr char16_t kPartialCopyName[] = u".velmi-partial~";

// CopyFileW: one file to the target path, replacing a file that stands there.
bool copyFile(const char16_t* from, const char16_t* to);

// MoveFileExW(MOVEFILE_REPLACE_EXISTING): the file takes the new path in one
// step, replacing a file that stands there.
bool moveIntoPlace(const char16_t* from, const char16_t* to);

// The file at replacement takes the path, and the file that stood there is
// kept under keptAs, which must be free. Windows renames twice, so for an
// instant nothing stands under path; POSIX gives the file its second name
// first, so path always names a whole file. False, with nothing changed, when
// it cannot be done.
bool replaceKeepingOriginal(const char16_t* path, const char16_t* replacement, const char16_t* keptAs);

// Which file stands under a path, and when it last changed: equal stamps mean
// the same file, unwritten since (GetFileInformationByHandle and the change time).
struct FileStamp {
  uint64_t volume = 0;
  uint64_t index = 0;
  uint64_t size = 0;
  uint64_t lastWrite = 0;
  uint64_t change = 0;
  bool operator==(const FileStamp& other) const {
    return volume == other.volume && index == other.index && size == other.size && lastWrite == other.lastWrite &&
           change == other.change;
  }
};
bool readFileStamp(const char16_t* path, FileStamp& stamp);

// The volume and file index of what a path reaches, following links and
// junctions (unlike readFileStamp, which reads a link itself on Windows).
// False when it cannot be opened.
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  bool operator==(const FileIdentity& other) const { return volume == other.volume && index == other.index; }
};
bool readReachedIdentity(const char16_t* path, FileIdentity& identity);

// One process at a time per folder: held from construction to destruction,
// and released by the system when the holder dies (a named mutex on Windows,
// flock on the folder on POSIX, where the folder must exist and open). Nothing
// of it stays on disk.
class RunLock {
 public:
  explicit RunLock(const char16_t* folder);
  ~RunLock();
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;

  // True only when this object holds the lock. Whatever kept it from taking
  // the lock, another holder or a failure that leaves that unknown (a folder
  // that cannot be opened, a mutex that cannot be made), it holds nothing.
  bool held() const;

  struct State;

 private:
  std::unique_ptr<State> state_;
};

// GetCurrentDirectoryW: copies the current folder (no trailing separator) and
// returns its length without the terminator. When capacity is too small,
// nothing is copied and the result is the capacity needed, terminator included.
// 0 on failure (on POSIX also for a folder path holding "\").
uint32_t getCurrentFolder(char16_t* buffer, uint32_t capacity);

struct FolderEntry {
  std::u16string name;  // bare name, no folder part
  uint32_t attributes = 0;
};

// FindFirstFileW / FindNextFileW / FindClose over one pattern ("folder\*.*").
// A name holding "\" (possible on POSIX only) is left out: it would be read as a path.
// What a listing must tell of each entry besides its name: all its attributes,
// or whether it is a folder and nothing more, which POSIX tells without a
// query of each entry (Windows tells everything anyway).
enum class ListingDetail { Attributes, FolderBitOnly };

class FolderListing {
 public:
  explicit FolderListing(const char16_t* pattern, ListingDetail detail = ListingDetail::Attributes);
  ~FolderListing();
  FolderListing(const FolderListing&) = delete;
  FolderListing& operator=(const FolderListing&) = delete;

  // False when the enumeration could not be started (INVALID_HANDLE_VALUE).
  bool valid() const;
  // The next entry, the first one on the first call; false when there is none.
  bool next(FolderEntry& entry);

  struct State;

 private:
  std::unique_ptr<State> state_;
};

// ---------------------------------------------------------------- shell operations

enum class ShellOperation : uint32_t { Move = 1, Copy = 2, Delete = 3, Rename = 4 };

constexpr uint32_t kShellSilent = 0x0004;
constexpr uint32_t kShellNoConfirmation = 0x0010;
constexpr uint32_t kShellAllowUndo = 0x0040;
constexpr uint32_t kShellNoConfirmMkdir = 0x0200;
constexpr uint32_t kShellNoErrorUi = 0x0400;

// SHFileOperationW. from and to are lists of paths, each NUL-terminated, the
// list ended by a second NUL; to is null for a delete. A source whose last
// component is "*" or "*.*" names every entry of its folder. Copy puts the
// sources into the target folder, creating folders and replacing files; Delete
// removes files and whole trees; Rename gives the one source the new path.
// Returns 0 on success, non-zero on failure; work finished before a failure stays.
int shellFileOperation(ShellOperation operation, const char16_t* from, const char16_t* to, uint32_t flags);

// ---------------------------------------------------------------- the program and its user

// GetModuleFileNameW for the process's own executable: copies its full path
// and returns its length; when it does not fit, the result equals capacity and
// the copy is cut (and terminated). 0 on failure, and on POSIX also for a path
// holding "\", which would be read as another path.
uint32_t getModuleFilePath(char16_t* buffer, uint32_t capacity);

// SHGetSpecialFolderPathW(CSIDL_APPDATA), without creating it. False when the
// folder cannot be told (on POSIX also when its path holds "\") or does not
// fit in capacity units with its terminator.
bool getRoamingAppDataFolder(char16_t* buffer, uint32_t capacity);

// ---------------------------------------------------------------- processes

struct ProcessEntry {
  uint32_t processId = 0;
  std::u16string exeFile;  // the executable's file name, no folder part
};

// CreateToolhelp32Snapshot(TH32CS_SNAPALL) with Process32FirstW / Process32NextW.
class ProcessSnapshot {
 public:
  ProcessSnapshot();
  ~ProcessSnapshot();
  ProcessSnapshot(const ProcessSnapshot&) = delete;
  ProcessSnapshot& operator=(const ProcessSnapshot&) = delete;

  bool valid() const;
  bool first(ProcessEntry& entry);
  bool next(ProcessEntry& entry);

  struct State;

 private:
  std::unique_ptr<State> state_;
};

// OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, not inherited), TerminateProcess
// with the exit code, CloseHandle. Does not wait for the process to end.
// False when the process cannot be opened or ended.
bool terminateProcessById(uint32_t processId, uint32_t exitCode);

// A program started but held before it runs anything, so that the caller can
// settle what must be settled before the program may write (CreateProcessW
// with the file as the application name and no command line, the caller's
// environment and current folder, and CREATE_SUSPENDED). Should the caller die
// while holding it, the program ends without having run (Windows: a job that
// kills it when its last handle closes; POSIX: the child waits on a pipe and
// leaves when it closes unwritten).
class HeldProgram {
 public:
  explicit HeldProgram(const char16_t* programPath);
  // One that was never let run is ended.
  ~HeldProgram();
  HeldProgram(const HeldProgram&) = delete;
  HeldProgram& operator=(const HeldProgram&) = delete;

  // False when it could not be started: not found, not a program of this system.
  bool started() const;
  // Lets it run, free of the caller (it outlives the caller), and waits
  // without a time limit for its end; then releases its handles. False when
  // it did not run.
  bool runAndWait();

  struct State;

 private:
  std::unique_ptr<State> state_;
};

// ---------------------------------------------------------------- times

// Windows file time: 100-nanosecond intervals since 1601-01-01 00:00:00 UTC.
struct FileTime {
  uint32_t low = 0;
  uint32_t high = 0;
};

struct SystemTime {
  uint16_t year = 0;
  uint16_t month = 0;  // 1 to 12
  uint16_t dayOfWeek = 0;
  uint16_t day = 0;
  uint16_t hour = 0;
  uint16_t minute = 0;
  uint16_t second = 0;
  uint16_t milliseconds = 0;
};

// DosDateTimeToFileTime: no time-zone conversion. False for an invalid stamp.
bool dosDateTimeToFileTime(uint16_t dosDate, uint16_t dosTime, FileTime& fileTime);

// SystemTimeToFileTime. False for fields out of range.
bool systemTimeToFileTime(const SystemTime& systemTime, FileTime& fileTime);

// The runtime's conversion of a 64-bit count of seconds since 1970 (UTC) into
// calendar fields (_gmtime64 / gmtime_r); milliseconds and day of week are
// filled too. False when the runtime refuses the value.
bool utcSecondsToSystemTime(int64_t seconds, SystemTime& systemTime);

// ---------------------------------------------------------------- file handles

enum class SeekOrigin { Begin, Current, End };

// CreateFileW / ReadFile / WriteFile / SetFilePointerEx / GetFileType /
// SetFileTime / CloseHandle over one handle, closed by the destructor.
class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL.
  static File openForReading(const char16_t* path);
  // GENERIC_WRITE, no sharing, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL: an existing
  // file is replaced from its first byte; a read-only one is refused.
  static File createForWriting(const char16_t* path);
  // A new file of the updater's own: whatever stands under the name (a file,
  // or a link or junction itself, never what it points to) is removed first,
  // then the file is created exclusively (CREATE_NEW, not through a reparse
  // point), so that a link planted there meanwhile is never written through.
  // Not open when something still stands there, a folder for one.
  static File createNew(const char16_t* path);

  bool isOpen() const { return handle_ != kInvalidHandle; }
  void close();

  // One platform read or write; false on failure. Reading at the end of the
  // data succeeds with 0 bytes.
  bool read(void* buffer, uint32_t count, uint32_t& bytesRead);
  bool write(const void* buffer, uint32_t count, uint32_t& bytesWritten);

  // Moves the file pointer; the new position from the start when asked for.
  bool seek(int64_t distance, SeekOrigin origin, uint64_t* newPosition = nullptr);

  // GetFileType == FILE_TYPE_DISK.
  bool isDiskFile() const;

  // SetFileTime; a null time is left as it is.
  bool setTimes(const FileTime* creation, const FileTime* lastAccess, const FileTime* lastWrite);

  static constexpr intptr_t kInvalidHandle = -1;

 private:
  explicit File(intptr_t handle) : handle_(handle) {}
  intptr_t handle_ = kInvalidHandle;
};

// ---------------------------------------------------------------- memory mappings

using MappingHandle = intptr_t;
constexpr MappingHandle kNoMapping = 0;

// CreateFileMappingW on the page file (INVALID_HANDLE_VALUE), PAGE_READWRITE,
// the given size, no name. kNoMapping on failure.
MappingHandle createPageFileMapping(uint32_t size);

// MapViewOfFile(FILE_MAP_ALL_ACCESS) of the first size bytes. Null on failure.
void* mapWholeView(MappingHandle mapping, uint32_t size);

// UnmapViewOfFile. The size is the one the view was mapped with.
bool unmapView(void* view, uint32_t size);

// CloseHandle of a mapping.
bool closeMapping(MappingHandle mapping);

}  // namespace platform
