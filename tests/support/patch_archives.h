// Patch archives for tests, made by the "zip" tool from a staging folder, and
// byte edits that damage them in one chosen way.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace testing_support {

inline std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

// Writes the files (relative path -> content) into a fresh staging folder and
// zips the members in the order given, exactly as named: "dir/" adds only a
// directory entry, "dir/file" only the file. Options go to zip as they stand
// ("-0" stores instead of deflating).
inline void makeZip(const std::filesystem::path& archive, const std::map<std::string, std::string>& files,
                    const std::vector<std::string>& members, const std::string& options = "") {
  TempFolder staging;
  for (const auto& [relative, content] : files) {
    std::filesystem::create_directories((staging.path() / relative).parent_path());
    writeFile(staging.path() / relative, content);
  }
  for (const auto& member : members) {
    if (!member.empty() && member.back() == '/') std::filesystem::create_directories(staging.path() / member);
  }
  std::string command = "cd " + shellQuoted(staging.path().string()) + " && zip -q -X " + options + " " +
                        shellQuoted(std::filesystem::absolute(archive).string());
  for (const auto& member : members) command += " " + shellQuoted(member);
  if (std::system(command.c_str()) != 0) throw std::runtime_error("zip failed: " + command);
}

// Every member holds one file whose content is given: files and members in one.
inline void makeZip(const std::filesystem::path& archive,
                    const std::vector<std::pair<std::string, std::string>>& entries, const std::string& options = "") {
  std::map<std::string, std::string> files;
  std::vector<std::string> members;
  for (const auto& [name, content] : entries) {
    if (name.empty() || name.back() != '/') files[name] = content;
    members.push_back(name);
  }
  makeZip(archive, files, members, options);
}

// Replaces every occurrence of from by to (of the same length) in the file; the
// number of replacements. Names stand in the local and the central header, so
// renaming an entry this way changes both.
inline int replaceBytes(const std::filesystem::path& file, const std::string& from, const std::string& to) {
  if (from.size() != to.size()) throw std::invalid_argument("replaceBytes needs equal lengths");
  std::string bytes = readFile(file);
  int count = 0;
  for (size_t at = bytes.find(from); at != std::string::npos; at = bytes.find(from, at + to.size())) {
    bytes.replace(at, from.size(), to);
    ++count;
  }
  writeFile(file, bytes);
  return count;
}

inline uint32_t readU32(const std::string& bytes, size_t at) {
  return static_cast<uint32_t>(static_cast<unsigned char>(bytes[at])) |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
}

inline void writeU32(std::string& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// Makes the first entry's stored data look shorter than it is, in both its
// local and central header, so that its data ends before its stream does.
inline void shortenFirstEntryData(const std::filesystem::path& file, uint32_t newCompressedSize) {
  std::string bytes = readFile(file);
  if (bytes.compare(0, 4, "PK\x03\x04") != 0) throw std::runtime_error("no local header first");
  const size_t central = bytes.find(std::string("PK\x01\x02", 4));
  if (central == std::string::npos) throw std::runtime_error("no central header");
  writeU32(bytes, 18, newCompressedSize);
  writeU32(bytes, central + 20, newCompressedSize);
  writeFile(file, bytes);
}

}  // namespace testing_support
