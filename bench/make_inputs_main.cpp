// Makes every benchmark input from one seed:
//   small.zip           20,000 text files of 200..4,000 bytes in 100 folders
//   large.zip           8 text files of 32 MiB
//   scale-1000.zip      1,000 entries (10 folders of 99 files)
//   scale-50000.zip     50,000 entries (500 folders of 99 files)
//   patch/install/      an installation of 20,000 files in 100 folders
//   patch/downsmallversion/quillet_2.4.1_sp1.zip, ..._sp2.zip
//                       together they replace 10,000 installed files (2,000 of
//                       them twice, so that the later archive must win) and add 2,000
//   patch/usr000.db     the client database with its version table
// Usage: velmi_bench_make_inputs <output folder> <seed>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <sqlite3.h>

#include "bench/bench_random.h"
#include "bench/bench_text.h"
#include "bench/bench_zip_writer.h"

namespace fs = std::filesystem;

namespace {

using bench::DeflatedData;
using bench::Random;

enum Stream : uint64_t {
  SmallFiles = 1,
  LargeFiles,
  ScaleFiles,
  InstalledFiles,
  FirstPatchFiles,
  SecondPatchFiles,
  AddedFiles,
  OtherFiles
};

uint64_t streamOf(Stream kind, uint64_t index) { return (static_cast<uint64_t>(kind) << 40) | index; }

struct PlannedEntry {
  std::string name;  // folders end with "/"
  uint64_t stream = 0;
  size_t fixedSize = 0;  // 0: 200..4,000 bytes, chosen by the stream
};

std::string contentOf(uint64_t seed, const PlannedEntry& entry) {
  Random random(seed, entry.stream);
  const size_t size = entry.fixedSize != 0 ? entry.fixedSize : random.between(200, 4000);
  return bench::makeText(random, size);
}

bool isFolder(const PlannedEntry& entry) { return !entry.name.empty() && entry.name.back() == '/'; }

template <typename Work>
void parallelFor(size_t count, Work work) {
  const unsigned threadCount = std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
  std::atomic<size_t> next{0};
  std::vector<std::thread> threads;
  for (unsigned t = 0; t < threadCount; ++t) {
    threads.emplace_back([&] {
      for (size_t i = next++; i < count; i = next++) work(i);
    });
  }
  for (std::thread& thread : threads) thread.join();
}

void writeArchive(const fs::path& path, uint64_t seed, const std::vector<PlannedEntry>& entries) {
  std::vector<DeflatedData> data(entries.size());
  parallelFor(entries.size(), [&](size_t i) {
    if (!isFolder(entries[i])) data[i] = bench::deflateRaw(contentOf(seed, entries[i]));
  });
  bench::ZipArchiveWriter writer(path);
  for (size_t i = 0; i < entries.size(); ++i) {
    if (isFolder(entries[i])) {
      writer.addFolder(entries[i].name);
    } else {
      writer.addFile(entries[i].name, data[i]);
    }
  }
  writer.finish();
}

void writeTree(const fs::path& root, uint64_t seed, const std::vector<PlannedEntry>& entries) {
  for (const PlannedEntry& entry : entries) {
    if (isFolder(entry)) fs::create_directories(root / entry.name);
  }
  parallelFor(entries.size(), [&](size_t i) {
    if (isFolder(entries[i])) return;
    const std::string content = contentOf(seed, entries[i]);
    std::ofstream out(root / entries[i].name, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", entries[i].name.c_str());
      std::exit(1);
    }
  });
}

std::string number(unsigned value, int width) {
  std::string digits = std::to_string(value);
  if (static_cast<int>(digits.size()) < width) digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
  return digits;
}

std::string folderName(unsigned folder) { return "folder" + number(folder, 2) + "/"; }

// folders × filesPerFolder files, each folder entry ahead of its files.
std::vector<PlannedEntry> foldersOfFiles(Stream kind, unsigned folders, unsigned filesPerFolder) {
  std::vector<PlannedEntry> entries;
  for (unsigned folder = 0; folder < folders; ++folder) {
    const std::string folderPath = "folder" + number(folder, 3) + "/";
    entries.push_back({folderPath});
    for (unsigned file = 0; file < filesPerFolder; ++file) {
      const unsigned index = folder * filesPerFolder + file;
      entries.push_back({folderPath + "file" + number(index, 5) + ".txt", streamOf(kind, index)});
    }
  }
  return entries;
}

constexpr unsigned kInstalledFolders = 100;
constexpr unsigned kFilesPerInstalledFolder = 200;

std::string installedFileName(unsigned index) {
  return folderName(index / kFilesPerInstalledFolder) + "file" + number(index, 5) + ".txt";
}

// A patch archive: new content for the installed files [firstEven, lastEven]
// (even indexes only), and new files added below the given folders.
std::vector<PlannedEntry> patchEntries(Stream kind, unsigned firstReplaced, unsigned lastReplaced, unsigned firstAdded,
                                       unsigned addedCount, const std::vector<std::string>& addedFolders) {
  std::vector<std::vector<PlannedEntry>> byFolder(kInstalledFolders);
  for (unsigned index = firstReplaced; index <= lastReplaced; index += 2) {
    byFolder[index / kFilesPerInstalledFolder].push_back({installedFileName(index), streamOf(kind, index)});
  }
  std::vector<PlannedEntry> entries;
  for (unsigned folder = 0; folder < kInstalledFolders; ++folder) {
    if (byFolder[folder].empty()) continue;
    entries.push_back({folderName(folder)});
    entries.insert(entries.end(), byFolder[folder].begin(), byFolder[folder].end());
  }
  const unsigned perFolder =
      (addedCount + static_cast<unsigned>(addedFolders.size()) - 1) / static_cast<unsigned>(addedFolders.size());
  for (size_t folder = 0; folder < addedFolders.size(); ++folder) {
    entries.push_back({addedFolders[folder]});
    for (unsigned k = 0; k < perFolder; ++k) {
      const unsigned n = firstAdded + static_cast<unsigned>(folder) * perFolder + k;
      if (n >= firstAdded + addedCount) break;
      entries.push_back({addedFolders[folder] + "added" + number(n, 5) + ".txt", streamOf(AddedFiles, n)});
    }
  }
  return entries;
}

void writeClientDatabase(const fs::path& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.string().c_str(), &db) != SQLITE_OK) throw std::runtime_error("cannot create database");
  const char* sql =
      "CREATE TABLE autoupdate(v_sversion TEXT, v_sbakversion TEXT);"
      "INSERT INTO autoupdate VALUES('2.4.1', '2.4.0');";
  char* error = nullptr;
  const int status = sqlite3_exec(db, sql, nullptr, nullptr, &error);
  sqlite3_free(error);
  sqlite3_close(db);
  if (status != SQLITE_OK) throw std::runtime_error("cannot fill database");
}

void makePatchInputs(const fs::path& root, uint64_t seed) {
  std::vector<PlannedEntry> installed;
  for (unsigned folder = 0; folder < kInstalledFolders; ++folder) installed.push_back({folderName(folder)});
  for (unsigned index = 0; index < kInstalledFolders * kFilesPerInstalledFolder; ++index) {
    installed.push_back({installedFileName(index), streamOf(InstalledFiles, index)});
  }
  // The two files that the updater parks while it runs, and the client itself.
  installed.push_back({"sqlite3.dll", streamOf(OtherFiles, 1), 1200000});
  installed.push_back({"Quillet.exe", streamOf(OtherFiles, 2), 4000000});
  writeTree(root / "install", seed, installed);

  std::vector<std::string> existingFolders;
  for (unsigned folder = 0; folder < kInstalledFolders; ++folder) existingFolders.push_back(folderName(folder));
  std::vector<std::string> newFolders;
  for (unsigned folder = 0; folder < 10; ++folder) newFolders.push_back("plugins" + number(folder, 1) + "/");

  const fs::path patches = root / "downsmallversion";
  fs::create_directories(patches);
  // Even indexes 0..11998 (6,000 files) and 8,000..19,998 (6,000 files):
  // 10,000 distinct files, 2,000 of them in both archives.
  writeArchive(patches / "quillet_2.4.1_sp1.zip", seed,
               patchEntries(FirstPatchFiles, 0, 11998, 0, 1000, existingFolders));
  writeArchive(patches / "quillet_2.4.1_sp2.zip", seed,
               patchEntries(SecondPatchFiles, 8000, 19998, 1000, 1000, newFolders));
  writeClientDatabase(root / "usr000.db");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <output folder> <seed>\n", argv[0]);
    return 2;
  }
  const fs::path root = argv[1];
  const uint64_t seed = std::strtoull(argv[2], nullptr, 10);
  try {
    fs::create_directories(root);
    writeArchive(root / "small.zip", seed, foldersOfFiles(SmallFiles, 100, 200));

    std::vector<PlannedEntry> large;
    for (unsigned i = 0; i < 8; ++i)
      large.push_back({"large" + number(i, 1) + ".txt", streamOf(LargeFiles, i), 32u << 20});
    writeArchive(root / "large.zip", seed, large);

    writeArchive(root / "scale-1000.zip", seed, foldersOfFiles(ScaleFiles, 10, 99));
    writeArchive(root / "scale-50000.zip", seed, foldersOfFiles(ScaleFiles, 500, 99));

    makePatchInputs(root / "patch", seed);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "velmi_bench_make_inputs: %s\n", error.what());
    return 1;
  }
  return 0;
}
