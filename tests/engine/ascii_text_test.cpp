// ASCII-only case folding and the drive/folder split.
#include <gtest/gtest.h>

#include "engine/ascii_text.h"

TEST(AsciiText, FoldsOnlyTheAsciiLetters) {
  EXPECT_EQ(asciiLowered(u"QUILLET.EXE_SP12"), u"quillet.exe_sp12");
  EXPECT_EQ(asciiLowered(u"ÄÖÜ ΣΑ"), u"ÄÖÜ ΣΑ");
  EXPECT_TRUE(asciiEqualsIgnoringCase(u"Quillet.exe", u"qUILLET.EXE"));
  EXPECT_FALSE(asciiEqualsIgnoringCase(u"Quillet.exe", u"Quillet.ex"));
  EXPECT_FALSE(asciiEqualsIgnoringCase(u"Ä.exe", u"ä.exe"));
  EXPECT_FALSE(asciiEqualsIgnoringCase(u"[", u"{"));  // 0x5B and 0x7B differ by the case bit, yet are no letters
  EXPECT_TRUE(asciiEqualsIgnoringCase(std::u16string(u"Ab"), std::u16string(u"aB")));
}

TEST(AsciiText, SplitsDriveAndFolderAsTheRuntimeDoes) {
  struct Case {
    const char16_t* path;
    const char16_t* drive;
    const char16_t* folder;
  };
  for (const Case& c :
       {Case{u"C:\\Program Files\\Quillet\\VelmiUpdate.exe", u"C:", u"\\Program Files\\Quillet\\"},
        Case{u"\\\\server\\share\\VelmiUpdate.exe", u"", u"\\\\server\\share\\"},
        Case{u"/opt/quillet/VelmiUpdate", u"", u"/opt/quillet/"}, Case{u"C:VelmiUpdate.exe", u"C:", u""},
        Case{u"VelmiUpdate.exe", u"", u""}, Case{u"", u"", u""}, Case{u"/mixed\\sep/name", u"", u"/mixed\\sep/"}}) {
    std::u16string drive = u"stale";
    std::u16string folder = u"stale";
    splitDriveAndFolder(c.path, drive, folder);
    EXPECT_EQ(drive, c.drive);
    EXPECT_EQ(folder, c.folder);
  }
}
