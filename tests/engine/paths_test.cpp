// The two roots of every path and the engine's text conversions.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "engine/paths.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;
using testing_support::narrow;
using testing_support::widen;

namespace {

std::u16string installFolder() { return widen(fs::canonical("/proc/self/exe").parent_path().string() + "/"); }

}  // namespace

TEST(ClientDataPath, IsTheRoamingFolderThenTheClientFolderThenTheName) {
  setenv("XDG_CONFIG_HOME", "/roaming/user", 1);
  auto folder = getClientDataFolder();
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(std::u16string(folder.get()), u"/roaming/user\\quillet\\WindowsClient");

  char16_t path[kPathBufferLength] = {};
  ASSERT_TRUE(appendClientDataPath(path, u"baksrcfile"));
  EXPECT_EQ(std::u16string(path), u"/roaming/user\\quillet\\WindowsClient\\baksrcfile");

  SCOPED_TRACE("a second call appends, and sees a changed roaming folder");
  setenv("XDG_CONFIG_HOME", "/elsewhere", 1);
  ASSERT_TRUE(appendClientDataPath(path, u"x"));
  EXPECT_EQ(std::u16string(path),
            u"/roaming/user\\quillet\\WindowsClient\\baksrcfile/elsewhere\\quillet\\WindowsClient\\x");
}

TEST(ClientDataPath, AUserFolderInAnotherScriptStaysWholeAndGrowsInUtf8) {
  setenv("XDG_CONFIG_HOME", "/home/Пользователь/.config", 1);
  char16_t path[kPathBufferLength] = {};
  ASSERT_TRUE(appendClientDataPath(path, u"usr000.db"));
  std::u16string expected = u"/home/Пользователь/.config\\quillet\\WindowsClient\\usr000.db";
  EXPECT_EQ(std::u16string(path), expected);

  char narrowPath[512] = {};
  ASSERT_TRUE(wideToNarrow(path, narrowPath, sizeof narrowPath));
  EXPECT_EQ(std::string(narrowPath), "/home/Пользователь/.config\\quillet\\WindowsClient\\usr000.db");
  EXPECT_GT(std::strlen(narrowPath), expected.size());
}

TEST(ClientDataPath, AnOverLongRoamingFolderFailsInsteadOfCuttingThePath) {
  setenv("XDG_CONFIG_HOME", ("/" + std::string(480, 'r')).c_str(), 1);
  auto folder = getClientDataFolder();
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(std::u16string(folder.get()).size(), 481u + 22u) << "the folder itself still fits its heap string";
  {
    SCOPED_TRACE("exactly 511 units fit, one more does not and leaves the path empty");
    const std::u16string name(511 - 481 - 22 - 1, u'n');
    char16_t path[kPathBufferLength] = {};
    ASSERT_TRUE(appendClientDataPath(path, name.c_str()));
    EXPECT_EQ(std::u16string(path).size(), 511u);
    char16_t again[kPathBufferLength] = {u'x'};
    EXPECT_FALSE(appendClientDataPath(again, (name + u"n").c_str()));
    EXPECT_EQ(again[0], 0);
  }
  SCOPED_TRACE("a roaming folder beyond the platform's buffer cannot be told");
  setenv("XDG_CONFIG_HOME", ("/" + std::string(600, 'r')).c_str(), 1);
  EXPECT_EQ(getClientDataFolder(), nullptr);
  char16_t path[kPathBufferLength] = {u'x'};
  EXPECT_FALSE(appendClientDataPath(path, u"baksrcfile"));
  EXPECT_EQ(path[0], 0);
}

TEST(ModuleFolderPath, IsTheExecutablesFolderWithItsSeparator) {
  char16_t path[kPathBufferLength] = {};
  ASSERT_TRUE(appendModuleFolderPath(path, u""));
  EXPECT_EQ(std::u16string(path), installFolder());
  ASSERT_TRUE(appendModuleFolderPath(path, u"sqlite3.dll"));
  EXPECT_EQ(std::u16string(path), installFolder() + installFolder() + u"sqlite3.dll");

  char16_t full[kPathBufferLength] = {};
  std::u16string tooLong(kPathBufferLength, u'n');
  EXPECT_FALSE(appendModuleFolderPath(full, tooLong.c_str()));
  EXPECT_EQ(full[0], 0);
}

TEST(TextConversion, BothWaysWithinTheirBuffers) {
  struct ToWide {
    const char* source;
    size_t capacity;
    const char16_t* expected;  // null: refused, the buffer untouched
  };
  for (const ToWide& row : {ToWide{"", 128, nullptr}, ToWide{"downupdatefile", 15, u"downupdatefile"},
                            ToWide{"downupdatefile", 14, nullptr}, ToWide{"Grüße", 128, u"Grüße"},
                            // a byte that does not decode becomes its lone low surrogate
                            ToWide{"caf\xe9", 128, u"caf\xDCE9"}}) {
    SCOPED_TRACE(std::string(row.source) + " in " + std::to_string(row.capacity));
    char16_t buffer[128];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(narrowToWide(row.source, buffer, row.capacity), row.expected != nullptr);
    const std::u16string expected = row.expected ? std::u16string(row.expected) + u'\0' : u"#";
    EXPECT_EQ(std::u16string(buffer, expected.size()), expected);
  }
  struct ToNarrow {
    const char16_t* source;
    size_t capacity;
    const char* expected;  // null: refused, the buffer emptied
  };
  for (const ToNarrow& row :
       {ToNarrow{u"", 64, ""}, ToNarrow{u"C:\\Users\\ann\\usr000.db", 64, "C:\\Users\\ann\\usr000.db"},
        ToNarrow{u"\U0001F600\xD800x", 64, "\xF0\x9F\x98\x80\xEF\xBF\xBDx"},
        // only U+DC80 to U+DCFF stand for bytes
        ToNarrow{u"caf\xDCE9\xDC7F", 64, "caf\xE9\xEF\xBF\xBD"}, ToNarrow{u"abc", 4, "abc"},
        ToNarrow{u"abcd", 4, nullptr}}) {
    SCOPED_TRACE(narrow(row.source) + " in " + std::to_string(row.capacity));
    char buffer[64];
    std::fill(std::begin(buffer), std::end(buffer), '#');
    EXPECT_EQ(wideToNarrow(row.source, buffer, row.capacity), row.expected != nullptr);
    EXPECT_EQ(std::string(buffer), row.expected ? row.expected : "");
  }
}
