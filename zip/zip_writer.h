// The zip writer's state, as far as closing a writer handle needs it.
//
// Nothing in the updater makes a writer: whoever does writes the local headers
// and entry data to the output, fills one ZipWriterEntry per entry, and wraps
// the writer in a handle of kind ZipHandleKindWriter. Closing that handle
// writes the central directory and the end record and releases the output.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "zip/zip.h"

// One entry whose local header and data are out already, waiting for its central header.
struct ZipWriterEntry {
  uint8_t headerImage[24] = {};  // version made by .. uncompressed size, in file and byte order
  uint32_t nameLength = 0;
  uint32_t extraLength = 0;
  uint32_t commentLength = 0;
  uint8_t diskAndInternal[4] = {};    // disk number start, internal attributes
  uint8_t externalAndOffset[8] = {};  // external attributes, offset of the local header
  std::unique_ptr<uint8_t[]> extra;   // extraLength bytes, owned by the entry
  // Not owned: the comment belongs to whoever added the entry (one text may
  // serve many entries) and must outlive the writer's close or free.
  const uint8_t* comment = nullptr;
  std::string name;  // at least nameLength bytes, as they go into the archive
  std::unique_ptr<ZipWriterEntry> next;
};

struct ZipWriter {
  ZipWriter() = default;
  // Releases whatever a close has not: entries, view, mapping and file.
  ~ZipWriter();
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;

  platform::File file;  // output when no view is in use
  platform::MappingHandle mapping = platform::kNoMapping;
  uint32_t offsetBase = 0;                  // added to the directory's position in the end record
  int32_t lastError = 0;                    // the sink's own code: ZipAlreadyOpen or ZipMapFailed
  uint32_t position = 0;                    // archive position of the next byte
  uint8_t* view = nullptr;                  // memory output is in use exactly when this is set
  uint32_t used = 0;                        // bytes written into the view
  uint32_t capacity = 0;                    // size of the mapping and of its view
  bool finished = false;                    // a second close writes nothing
  std::unique_ptr<ZipWriterEntry> entries;  // in central-directory order
};

// Finishes the archive (central directory and end record) once and releases
// the output. ZipOk or ZipExtractFailed; ZipBadArgument for a null writer.
ZipResult ZipWriterClose(ZipWriter* writer);

// Writes every entry's central header and the end record, and frees the
// entries. A directory that the format's 16-bit counts and lengths or 32-bit
// offsets cannot hold is refused whole: nothing is written.
ZipResult ZipWriterPutCentralDirectory(ZipWriter* writer);

// 0, or ZipWriterHeaderNotWritten when any of the header's bytes did not go out.
constexpr int32_t ZipWriterHeaderNotWritten = 10;
int32_t ZipWriterPutCentralHeader(ZipWriter* writer, const ZipWriterEntry* entry);

// 0, or non-zero when any byte of the end record did not go out.
int32_t ZipWriterPutEndRecord(ZipWriter* writer, uint32_t directoryOffset, uint32_t entryCount, uint32_t directorySize);

// Writes to the view (growing the mapping), else to the file. Returns the
// number of bytes written: length on success, fewer (normally 0) on failure.
uint32_t ZipWriterSinkWrite(ZipWriter* writer, const void* bytes, uint32_t length);

// Frees the writer and what it still owns. A null writer is ignored.
void ZipWriterFree(ZipWriter* writer);

// Frees every entry of the list, front to back (no recursion, however long the list).
void ZipWriterFreeEntries(ZipWriter* writer);
