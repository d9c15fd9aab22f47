// Builds zip writers directly, the way a writer's owner would: local headers
// and entry data go through the writer's own output, and each entry waits in
// the writer's list for its central header.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "zip/zip_writer.h"

namespace writer_test {

enum class Method : uint16_t { Stored = 0, Deflate = 8 };

// A writer whose output is a new file at path (the file is open when this returns).
std::unique_ptr<ZipWriter, void (*)(ZipWriter*)> fileWriter(const std::filesystem::path& path);

// A writer whose output is a fresh page-file mapping of capacity bytes.
std::unique_ptr<ZipWriter, void (*)(ZipWriter*)> memoryWriter(uint32_t capacity);

// A writer with no output at all.
std::unique_ptr<ZipWriter, void (*)(ZipWriter*)> writerWithoutOutput();

// A kind-2 handle that takes over the writer.
ZipReaderHandle* writerHandle(std::unique_ptr<ZipWriter, void (*)(ZipWriter*)> writer);

// An entry with the given name, method, sizes and local-header offset;
// modification stamp 2024-05-17 12:30:10, external attributes 0x20.
std::unique_ptr<ZipWriterEntry> makeEntry(const std::string& name, Method method, uint32_t crc, uint32_t compressedSize,
                                          uint32_t uncompressedSize, uint32_t localHeaderOffset);

// Puts the entry at the end of the writer's list.
void appendEntry(ZipWriter& writer, std::unique_ptr<ZipWriterEntry> entry);

// Appends count stored, empty entries named n0, n1, ... (in one pass, however many).
void appendNamedEntries(ZipWriter& writer, int count);

// Writes a local header and the entry's data (stored or raw deflate) through
// the writer's sink, advances the position, and appends the matching entry.
// Fails the current test when the sink refuses a byte.
ZipWriterEntry& addEntry(ZipWriter& writer, const std::string& name, const std::string& data, Method method);

std::string rawDeflate(const std::string& data);
uint32_t crcOf(const std::string& data);

uint16_t readLittleEndian16(const std::string& bytes, size_t at);
uint32_t readLittleEndian32(const std::string& bytes, size_t at);

// The memory output's bytes so far.
std::string viewBytes(const ZipWriter& writer);

// How many descriptors the process holds open: a leaked mapping shows here.
size_t openDescriptorCount();

}  // namespace writer_test
