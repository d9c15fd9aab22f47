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

std::u16string installFolder() {
  return widen(fs::canonical("/proc/self/exe").parent_path().string() + "/");
}

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
  std::string longFolder = "/" + std::string(480, 'r');
  setenv("XDG_CONFIG_HOME", longFolder.c_str(), 1);
  {
    SCOPED_TRACE("the folder itself still fits its heap string");
    auto folder = getClientDataFolder();
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(std::u16string(folder.get()).size(), 481u + 22u);
  }
  {
    SCOPED_TRACE("the joined path does not fit 512 units");
    char16_t path[kPathBufferLength] = {u'x'};
    EXPECT_FALSE(appendClientDataPath(path, u"downsmallversion"));
    EXPECT_EQ(path[0], 0);
  }
  {
    SCOPED_TRACE("exactly 511 units fit");
    char16_t path[kPathBufferLength] = {};
    std::u16string name(511 - 481 - 22 - 1, u'n');
    ASSERT_TRUE(appendClientDataPath(path, name.c_str()));
    EXPECT_EQ(std::u16string(path).size(), 511u);
    char16_t again[kPathBufferLength] = {};
    EXPECT_FALSE(appendClientDataPath(again, (name + u"n").c_str()));
  }
  {
    SCOPED_TRACE("a roaming folder beyond the platform's buffer cannot be told");
    std::string tooLong = "/" + std::string(600, 'r');
    setenv("XDG_CONFIG_HOME", tooLong.c_str(), 1);
    EXPECT_EQ(getClientDataFolder(), nullptr);
    char16_t path[kPathBufferLength] = {u'x'};
    EXPECT_FALSE(appendClientDataPath(path, u"baksrcfile"));
    EXPECT_EQ(path[0], 0);
  }
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

TEST(TextConversion, NarrowToWide) {
  char16_t buffer[128];
  std::fill(std::begin(buffer), std::end(buffer), u'#');
  EXPECT_FALSE(narrowToWide("", buffer, 128));
  EXPECT_EQ(buffer[0], u'#');

  EXPECT_TRUE(narrowToWide("downupdatefile", buffer, 128));
  EXPECT_EQ(std::u16string(buffer), u"downupdatefile");
  EXPECT_EQ(buffer[14], 0);

  EXPECT_TRUE(narrowToWide("Grüße", buffer, 128));
  EXPECT_EQ(std::u16string(buffer), u"Grüße");
  // A byte that does not decode becomes its lone low surrogate.
  EXPECT_TRUE(narrowToWide("caf\xe9", buffer, 128));
  EXPECT_EQ(std::u16string(buffer), u"caf\xDCE9");

  char16_t small[5];
  EXPECT_FALSE(narrowToWide("downupdatefile", small, 5));
}

TEST(TextConversion, WideToNarrow) {
  char buffer[64];
  EXPECT_TRUE(wideToNarrow(u"", buffer, sizeof buffer));
  EXPECT_EQ(buffer[0], 0);
  EXPECT_TRUE(wideToNarrow(u"C:\\Users\\ann\\usr000.db", buffer, sizeof buffer));
  EXPECT_EQ(std::string(buffer), "C:\\Users\\ann\\usr000.db");
  EXPECT_TRUE(wideToNarrow(u"\U0001F600\xD800x", buffer, sizeof buffer));
  EXPECT_EQ(std::string(buffer), "\xF0\x9F\x98\x80\xEF\xBF\xBDx");
  // Only U+DC80 to U+DCFF stand for bytes.
  EXPECT_TRUE(wideToNarrow(u"caf\xDCE9\xDC7F", buffer, sizeof buffer));
  EXPECT_EQ(std::string(buffer), "caf\xE9\xEF\xBF\xBD");
  char small[4] = {'a', 'b', 'c', 'd'};
  EXPECT_FALSE(wideToNarrow(u"abcd", small, sizeof small));
  EXPECT_EQ(small[0], 0);
}
