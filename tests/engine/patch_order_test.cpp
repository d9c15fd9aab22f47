#include "engine/patch_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

using testing_support::narrow;
using testing_support::widen;

namespace {

std::vector<std::string> sorted(const std::vector<std::string>& listing) {
  std::list<std::u16string> names;
  for (const auto& name : listing) names.push_back(widen(name));
  sortPatchNames(names);
  std::vector<std::string> result;
  for (const auto& name : names) result.push_back(narrow(name));
  return result;
}

bool less(const std::string& a, const std::string& b) { return patchNumberLess(widen(a), widen(b)); }

// Neither less nor greater: the two names carry the same number.
void expectSameNumber(const std::string& a, const std::string& b) {
  SCOPED_TRACE(a + " vs " + b);
  EXPECT_FALSE(less(a, b));
  EXPECT_FALSE(less(b, a));
}

}  // namespace

TEST(PatchOrder, NamesWithoutNumberArePlacedByTheMergeSteps) {
  using V = std::vector<std::string>;
  EXPECT_EQ(sorted({"b_sp2.zip", "x.zip", "a_sp1.zip"}), (V{"a_sp1.zip", "b_sp2.zip", "x.zip"}));
  EXPECT_EQ(sorted({"x.zip", "b_sp2.zip", "a_sp1.zip"}), (V{"x.zip", "a_sp1.zip", "b_sp2.zip"}));
  EXPECT_EQ(sorted({"c_sp3.zip", "b_sp2.zip", "x.zip", "a_sp1.zip"}),
            (V{"b_sp2.zip", "c_sp3.zip", "x.zip", "a_sp1.zip"}));
}

TEST(PatchOrder, EqualNumbersKeepListingOrder) {
  using V = std::vector<std::string>;
  EXPECT_EQ(sorted({"a_sp2.zip", "b_sp1.zip", "c_sp2.zip", "d_sp1.zip"}),
            (V{"b_sp1.zip", "d_sp1.zip", "a_sp2.zip", "c_sp2.zip"}));

  // Enough names to fill several bins: the result must be the stable order by number.
  std::mt19937 random(7);
  std::vector<std::string> listing;
  for (int i = 0; i < 1500; ++i) {
    listing.push_back("p" + std::to_string(i) + "_sp" + std::to_string(random() % 40) + ".zip");
  }
  std::vector<std::string> expected = listing;
  std::stable_sort(expected.begin(), expected.end(), less);
  EXPECT_EQ(sorted(listing), expected);
}

TEST(PatchOrder, SortMovesNodesAndLeavesShortListsAlone) {
  std::list<std::u16string> names{u"c_sp3.zip", u"a_sp1.zip", u"b_sp2.zip"};
  std::vector<const std::u16string*> before;
  for (const auto& name : names) before.push_back(&name);
  sortPatchNames(names);
  std::vector<const std::u16string*> after;
  for (const auto& name : names) after.push_back(&name);
  EXPECT_EQ(after, (std::vector<const std::u16string*>{before[1], before[2], before[0]}));

  std::list<std::u16string> empty;
  sortPatchNames(empty);
  EXPECT_TRUE(empty.empty());
  std::list<std::u16string> one{u"x_sp9.zip"};
  sortPatchNames(one);
  EXPECT_EQ(one, std::list<std::u16string>{u"x_sp9.zip"});
}

TEST(PatchOrder, NumbersNotLetters) {
  EXPECT_TRUE(less("z_sp2.zip", "a_sp10.zip"));
  EXPECT_FALSE(less("a_sp10.zip", "z_sp2.zip"));
  {
    SCOPED_TRACE("upper case counts as lower case");
    EXPECT_TRUE(less("x_sp9.zip", "PATCH_SP10.ZIP"));
    EXPECT_TRUE(less("PATCH_Sp1.ZIP", "x_sp9.zip"));
  }
  {
    SCOPED_TRACE("a name without _sp is neither less nor greater");
    expectSameNumber("x.zip", "a_sp1.zip");
    expectSameNumber("x.zip", "y.zip");
    expectSameNumber("x_s1.zip", "a_sp-5.zip");
  }
}

TEST(PatchOrder, OnlyTheFirstMarkCounts) {
  // The text after the first "_sp" is "are_sp3.zip": no digits, number 0.
  expectSameNumber("my_spare_sp3.zip", "a_sp0.zip");
  EXPECT_TRUE(less("my_spare_sp3.zip", "a_sp1.zip"));
  SCOPED_TRACE("a mark followed by no digit counts as 0");
  expectSameNumber("a_sp.zip", "b_sp0.zip");
  expectSameNumber("a_spx1.zip", "b_sp0.zip");
  EXPECT_TRUE(less("a_sp-1.zip", "b_sp.zip"));
}

TEST(PatchOrder, SignsZerosAndWhiteSpaceAsTheRuntimeReadsThem) {
  expectSameNumber("x_sp007.zip", "x_sp7.zip");
  expectSameNumber("x_sp+7.zip", "x_sp7.zip");
  expectSameNumber("x_sp 7.zip", "x_sp7.zip");
  expectSameNumber("x_sp\t 7.zip", "x_sp7.zip");
  EXPECT_TRUE(less("x_sp-1.zip", "y_sp0.zip"));
  EXPECT_TRUE(less("x_sp-2.zip", "y_sp-1.zip"));
  SCOPED_TRACE("one sign only, directly before the digits");
  expectSameNumber("x_sp--1.zip", "y_sp0.zip");
  expectSameNumber("x_sp- 1.zip", "y_sp0.zip");
  expectSameNumber("x_sp+-1.zip", "y_sp0.zip");
}

TEST(PatchOrder, NumbersBeyondThirtyTwoBitsAreClamped) {
  expectSameNumber("x_sp2147483648.zip", "y_sp2147483647.zip");
  expectSameNumber("x_sp99999999999999999999999.zip", "y_sp2147483647.zip");
  EXPECT_TRUE(less("x_sp2147483646.zip", "y_sp99999999999.zip"));
  expectSameNumber("x_sp-2147483649.zip", "y_sp-2147483648.zip");
  expectSameNumber("x_sp-99999999999999999999.zip", "y_sp-2147483648.zip");
  EXPECT_TRUE(less("x_sp-99999999999.zip", "y_sp-2147483647.zip"));
  EXPECT_TRUE(less("x_sp-2147483648.zip", "y_sp2147483647.zip"));
}

TEST(PatchOrder, ZipAnywhereInTheNameMakesAnArchive) {
  EXPECT_TRUE(isPatchArchiveName(u"update.ZIP"));
  EXPECT_TRUE(isPatchArchiveName(u"part.zip.txt"));
  EXPECT_TRUE(isPatchArchiveName(u".zip"));
  EXPECT_TRUE(isPatchArchiveName(u"a_sp1.Zip"));
  EXPECT_FALSE(isPatchArchiveName(u"notes.txt"));
  EXPECT_FALSE(isPatchArchiveName(u"archivezip"));
  EXPECT_FALSE(isPatchArchiveName(u"a.zi"));
  EXPECT_FALSE(isPatchArchiveName(u""));
}
