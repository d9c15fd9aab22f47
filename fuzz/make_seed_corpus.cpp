// Writes the fuzz target's seed corpus into a folder: sound archives of every
// kind the tests use, and damaged ones with one defect each.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/zip_builder.h"

using testing_support::ZipBuilder;

namespace {

ZipBuilder sample() {
  ZipBuilder zip;
  zip.addFile("readme.txt", "read me\n").addFolder("docs/").addFile("docs/big.csv", std::string(3000, 'q') + "end");
  zip.addFile("docs/stored.bin", "stored bytes", testing_support::kZipStored);
  zip.entry(2).localExtra = testing_support::utExtraBlock(7, {1700000000, 1600000000, 4000000000u});
  zip.addFile("README.TXT", "case twin").addFile("dup", "1").addFile("dup", "2").addFile("empty", "");
  return zip;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  // Absolute: the zip tool runs from a folder of its own.
  const std::filesystem::path folder = std::filesystem::absolute(argv[1]);
  std::filesystem::create_directories(folder);
  std::vector<std::pair<std::string, std::function<void(ZipBuilder&)>>> variants = {
      {"sound", [](ZipBuilder&) {}},
      {"prefix", [](ZipBuilder& z) { z.prefix(std::string(1000, 'p')); }},
      {"comment", [](ZipBuilder& z) { z.comment("an archive comment PK"); }},
      {"descriptors", [](ZipBuilder& z) { z.entry(2).dataDescriptor = true; }},
      {"hostile-names",
       [](ZipBuilder& z) {
         z.addFile("../x", "x").addFile("a/../../x", "x").addFile("..\\x", "x").addFile("/abs", "x");
         z.addFile("C:x", "x").addFile("a:b", "x").addFolder("../up/").addFile("a*b", "x").addFile("q?\x01", "x");
       }},
      // Names in code page 932: the second byte of a character may be 0x5C ("\\")
      // or a letter (95 5C, 83 41, 83 61), and must stay part of its character.
      {"double-byte-names",
       [](ZipBuilder& z) {
         z.addFile("d\x95\x5C", "kanji").addFile("\x83\x41.txt", "A").addFile("\x83\x61.txt", "DI");
         z.addFolder("\x95\x5C/").addFile("\x95\x5C/\x83\x41.txt", "in the folder");
         z.addFile(std::string(257, 'k') + "\x95\x5C", "a long name cut before its last character");
       }},
      {"ut-after-large-block",
       [](ZipBuilder& z) {
         z.entry(0).localExtra = testing_support::extraBlock(0x7875, std::string(200, 'x')) +
                                 testing_support::utExtraBlock(1, {1700000000});
       }},
      {"bad-local-signature", [](ZipBuilder& z) { z.entry(0).local.signature = 1; }},
      {"method-12", [](ZipBuilder& z) { z.entry(2).method = 12; }},
      {"local-crc-differs", [](ZipBuilder& z) { z.entry(2).local.crc = 1; }},
      {"crc-mismatch", [](ZipBuilder& z) { z.entry(3).central.crc = z.entry(3).local.crc = 9; }},
      {"lying-size",
       [](ZipBuilder& z) { z.entry(2).central.uncompressedSize = z.entry(2).local.uncompressedSize = 99999; }},
      {"bad-central-signature", [](ZipBuilder& z) { z.entry(4).central.signature = 1; }},
      {"disk-1", [](ZipBuilder& z) { z.endRecord().thisDisk = 1; }},
      {"counts-differ", [](ZipBuilder& z) { z.endRecord().entriesHere = 3; }},
      {"count-zero", [](ZipBuilder& z) { z.endRecord().entriesHere = z.endRecord().entriesTotal = 0; }},
      {"directory-past-end", [](ZipBuilder& z) { z.endRecord().centralSize = 100000; }},
      {"long-name", [](ZipBuilder& z) { z.addFile(std::string(300, 'L'), "long"); }},
      {"deflate-bomb",
       [](ZipBuilder& z) {
         // A stream of a megabyte of zeros under a header that declares 100 bytes.
         testing_support::ZipBuilderEntry bomb;
         bomb.name = "bomb.bin";
         bomb.content = std::string(100, '\0');
         bomb.storedData = testing_support::deflateRaw(std::string(1 << 20, '\0'));
         z.add(bomb);
       }},
      {"overlapping-entries",
       [](ZipBuilder& z) {
         // The same content as the first entry, whose local header they all point at.
         for (int i = 0; i < 8; ++i) {
           z.addFile("overlap" + std::to_string(i), "read me\n");
           z.entry(z.entryCount() - 1).central.localHeaderOffset = 0;
         }
       }},
      {"absolute-and-drive-names",
       [](ZipBuilder& z) { z.addFile("/etc/velmi", "x").addFile("C:/velmi", "x").addFile("C:\\velmi", "x"); }},
      {"device-and-cut-names",
       [](ZipBuilder& z) {
         z.addFile("NUL", "x").addFile("sub/com1.log", "x").addFile("a.txt.", "x").addFolder("d /");
       }},
      {"short-names",
       [](ZipBuilder& z) { z.addFile("VELMIU~1.EXE", "x").addFile("VELM~J2R.EXE", "x").addFile("PROGRA~1/x", "x"); }},
      {"work-names",
       [](ZipBuilder& z) { z.addFile("sqlite3_Rename.dll", "x").addFile("sub/VelmiUpdate_Copy.tmp", "x"); }},
  };
  for (auto& [name, apply] : variants) {
    ZipBuilder zip = sample();
    apply(zip);
    zip.writeTo(folder / (name + ".zip"));
  }
  ZipBuilder().writeTo(folder / "bare-end-record.zip");
  ZipBuilder().prefix("x").writeTo(folder / "no-entries.zip");
  std::string cut = sample().build();
  cut.resize(cut.size() / 2);
  std::FILE* file = std::fopen((folder / "truncated.zip").c_str(), "wb");
  std::fwrite(cut.data(), 1, cut.size(), file);
  std::fclose(file);
  // Archives as the zip tool writes them, as the end-to-end tests use them (with
  // its extended-timestamp and Unix extra fields): when the tool is there.
  const std::filesystem::path staging = folder / "zip-tool-staging";
  std::filesystem::create_directories(staging / "docs");
  for (const char* name : {"readme.txt", "docs/notes.txt"}) {
    std::FILE* text = std::fopen((staging / name).c_str(), "wb");
    std::fputs("patched text, patched text, patched text\n", text);
    std::fclose(text);
  }
  const std::string into = "cd '" + staging.string() + "' && zip -q -X ";
  const std::string members = " readme.txt docs/ docs/notes.txt >/dev/null 2>&1";
  if (std::system((into + "'" + (folder / "zip-tool-deflated.zip").string() + "'" + members).c_str()) != 0 ||
      std::system((into + "-0 '" + (folder / "zip-tool-stored.zip").string() + "'" + members).c_str()) != 0 ||
      std::system(("cd '" + staging.string() + "' && zip -q '" + (folder / "zip-tool-extra-fields.zip").string() + "'" +
                   members)
                      .c_str()) != 0) {
    std::fprintf(stderr, "no zip tool: its archives are left out\n");
  }
  std::filesystem::remove_all(staging);

  std::string flipped = sample().build();
  flipped[flipped.size() / 3] = static_cast<char>(flipped[flipped.size() / 3] ^ 0x5A);
  file = std::fopen((folder / "flipped-byte.zip").c_str(), "wb");
  std::fwrite(flipped.data(), 1, flipped.size(), file);
  std::fclose(file);
  return 0;
}
