// The updater's dynamic symbol table holds the three client accessors and
// nothing else of ours: read back from the built binary with binutils.
#include <cxxabi.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct DynamicSymbol {
  char type = 0;
  std::string name;  // as nm prints it, with a version suffix for library symbols
};

std::vector<DynamicSymbol> definedDynamicSymbols(const std::string& binary) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(("nm -D --defined-only '" + binary + "' 2>&1").c_str(), "r"),
                                             pclose);
  std::vector<DynamicSymbol> symbols;
  std::array<char, 4096> line{};
  while (pipe && fgets(line.data(), static_cast<int>(line.size()), pipe.get())) {
    std::istringstream fields(line.data());
    std::string address, type, name;
    fields >> address >> type >> name;
    EXPECT_FALSE(name.empty()) << "unexpected nm output: " << line.data();
    if (!name.empty()) symbols.push_back({type[0], name});
  }
  EXPECT_EQ(pipe ? pclose(pipe.release()) : -1, 0) << "nm failed";
  return symbols;
}

std::string demangle(const std::string& name) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> text(abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status), std::free);
  return status == 0 && text ? std::string(text.get()) : name;
}

// Symbols the linker, the C runtime or the sanitizer runtime put into an
// executable's dynamic table whatever the program is.
bool isRuntimeSymbol(const std::string& name) {
  static const std::set<std::string> linkerSymbols = {
      "_IO_stdin_used", "__bss_start", "_edata",       "_end",   "_init",           "_fini",
      "__data_start",   "data_start",  "__dso_handle", "_start", "__libc_csu_init", "__libc_csu_fini"};
  if (linkerSymbols.count(name)) return true;
  // A version suffix marks a symbol that a shared library defines and the
  // executable only holds a copy of (std::cout, stderr, ...).
  if (name.find('@') != std::string::npos) return true;
  for (const char* prefix : {"__asan_", "__ubsan_", "__lsan_", "__sanitizer_"}) {
    if (name.rfind(prefix, 0) == 0) return true;
  }
  // Instantiations of the standard library's templates (std:: in any of its
  // mangled abbreviations, __gnu_cxx::), which the checking build may publish
  // for the shared C++ runtime to bind to.
  static const std::regex standardLibrary("^_Z(T[IVS])?N?[KVr]*(S[tabsiod]|9__gnu_cxx)");
  return std::regex_search(name, standardLibrary);
}

// Our own names, as they show in a demangled symbol (for instance a standard
// container instantiated over one of our types).
bool mentionsOurCode(const std::string& demangled) {
  static const std::regex ours(
      R"(\b(C[A-Z][A-Za-z]+|Zip[A-Za-z]*|Dir[A-Z][A-Za-z]*|WindowsDeviceConfig|DateFilter|platform::|wmain)\b)");
  return std::regex_search(demangled, ours);
}

}  // namespace

TEST(ExportTable, HoldsExactlyTheThreeClientAccessors) {
  const std::set<std::string> accessors = {
      "WindowsDeviceConfig::setAttach(bool)",
      "WindowsDeviceConfig::getAttach() const",
      "DateFilter::getRelativeLowerDate()",
  };
  std::set<std::string> found;
  for (const DynamicSymbol& symbol : definedDynamicSymbols(VELMI_UPDATER_PATH)) {
    const std::string readable = demangle(symbol.name);
    SCOPED_TRACE(symbol.name + " = " + readable);
    if (accessors.count(readable)) {
      EXPECT_EQ(symbol.type, 'T') << "an accessor must be an exported function";
      EXPECT_TRUE(found.insert(readable).second) << "exported twice";
      continue;
    }
    EXPECT_TRUE(isRuntimeSymbol(symbol.name)) << "exported symbol that is none of the three accessors";
    EXPECT_FALSE(mentionsOurCode(readable)) << "a runtime symbol made from our own types";
  }
  EXPECT_EQ(found, accessors);
}
