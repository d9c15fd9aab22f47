#include "engine/patch_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

using testing_support::narrow;
using testing_support::widen;
using Names = std::vector<std::string>;

namespace {

Names sorted(const Names& listing) {
  std::list<std::u16string> names;
  for (const auto& name : listing) names.push_back(widen(name));
  sortPatchNames(names);
  Names result;
  for (const auto& name : names) result.push_back(narrow(name));
  return result;
}

bool less(const std::string& a, const std::string& b) { return patchNumberLess(widen(a), widen(b)); }

}  // namespace

TEST(PatchOrder, NamesWithoutNumberArePlacedByTheMergeSteps) {
  EXPECT_EQ(sorted({"b_sp2.zip", "x.zip", "a_sp1.zip"}), (Names{"a_sp1.zip", "b_sp2.zip", "x.zip"}));
  EXPECT_EQ(sorted({"x.zip", "b_sp2.zip", "a_sp1.zip"}), (Names{"x.zip", "a_sp1.zip", "b_sp2.zip"}));
  EXPECT_EQ(sorted({"c_sp3.zip", "b_sp2.zip", "x.zip", "a_sp1.zip"}),
            (Names{"b_sp2.zip", "c_sp3.zip", "x.zip", "a_sp1.zip"}));
}

TEST(PatchOrder, EqualNumbersKeepListingOrder) {
  EXPECT_EQ(sorted({"a_sp2.zip", "b_sp1.zip", "c_sp2.zip", "d_sp1.zip"}),
            (Names{"b_sp1.zip", "d_sp1.zip", "a_sp2.zip", "c_sp2.zip"}));
  // Enough names to fill several bins: the result must be the stable order by number.
  std::mt19937 random(7);
  Names listing;
  for (int i = 0; i < 1500; ++i)
    listing.push_back("p" + std::to_string(i) + "_sp" + std::to_string(random() % 40) + ".zip");
  Names expected = listing;
  std::stable_sort(expected.begin(), expected.end(), less);
  EXPECT_EQ(sorted(listing), expected);
}

TEST(PatchOrder, SortMovesNodesAndLeavesShortListsAlone) {
  std::list<std::u16string> names{u"c_sp3.zip", u"a_sp1.zip", u"b_sp2.zip"};
  auto nodes = [](const std::list<std::u16string>& list) {
    std::vector<const std::u16string*> addresses;
    for (const auto& name : list) addresses.push_back(&name);
    return addresses;
  };
  const auto before = nodes(names);
  sortPatchNames(names);
  EXPECT_EQ(nodes(names), (std::vector<const std::u16string*>{before[1], before[2], before[0]}));

  for (std::list<std::u16string> shortList : {std::list<std::u16string>{}, std::list<std::u16string>{u"x_sp9.zip"}}) {
    const auto original = shortList;
    sortPatchNames(shortList);
    EXPECT_EQ(shortList, original);
  }
}

TEST(PatchOrder, TheNumberAfterTheFirstMarkAsTheRuntimeReadsIt) {
  enum Order { Less, Same };
  struct Row {
    const char* a;
    const char* b;
    Order order;
  };
  const Row rows[] = {
      // numbers, not letters; upper case counts as lower case
      {"z_sp2.zip", "a_sp10.zip", Less},
      {"x_sp9.zip", "PATCH_SP10.ZIP", Less},
      {"PATCH_Sp1.ZIP", "x_sp9.zip", Less},
      // a name without "_sp" is neither less nor greater
      {"x.zip", "a_sp1.zip", Same},
      {"x.zip", "y.zip", Same},
      {"x_s1.zip", "a_sp-5.zip", Same},
      // only the first mark counts: after it comes "are_sp3.zip", no digits, number 0
      {"my_spare_sp3.zip", "a_sp0.zip", Same},
      {"my_spare_sp3.zip", "a_sp1.zip", Less},
      // a mark followed by no digit counts as 0
      {"a_sp.zip", "b_sp0.zip", Same},
      {"a_spx1.zip", "b_sp0.zip", Same},
      {"a_sp-1.zip", "b_sp.zip", Less},
      // zeros, signs and white space; one sign only, directly before the digits
      {"x_sp007.zip", "x_sp7.zip", Same},
      {"x_sp+7.zip", "x_sp7.zip", Same},
      {"x_sp 7.zip", "x_sp7.zip", Same},
      {"x_sp\t 7.zip", "x_sp7.zip", Same},
      {"x_sp-1.zip", "y_sp0.zip", Less},
      {"x_sp-2.zip", "y_sp-1.zip", Less},
      {"x_sp--1.zip", "y_sp0.zip", Same},
      {"x_sp- 1.zip", "y_sp0.zip", Same},
      {"x_sp+-1.zip", "y_sp0.zip", Same},
      // numbers beyond 32 bits are clamped
      {"x_sp2147483648.zip", "y_sp2147483647.zip", Same},
      {"x_sp99999999999999999999999.zip", "y_sp2147483647.zip", Same},
      {"x_sp2147483646.zip", "y_sp99999999999.zip", Less},
      {"x_sp-2147483649.zip", "y_sp-2147483648.zip", Same},
      {"x_sp-99999999999999999999.zip", "y_sp-2147483648.zip", Same},
      {"x_sp-99999999999.zip", "y_sp-2147483647.zip", Less},
      {"x_sp-2147483648.zip", "y_sp2147483647.zip", Less},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.a) + " vs " + row.b);
    EXPECT_EQ(less(row.a, row.b), row.order == Less);
    EXPECT_FALSE(less(row.b, row.a));
  }
}

TEST(PatchOrder, ZipAnywhereInTheNameMakesAnArchive) {
  for (const char16_t* name : {u"update.ZIP", u"part.zip.txt", u".zip", u"a_sp1.Zip"}) {
    EXPECT_TRUE(isPatchArchiveName(name)) << narrow(name);
  }
  for (const char16_t* name : {u"notes.txt", u"archivezip", u"a.zi", u""})
    EXPECT_FALSE(isPatchArchiveName(name)) << narrow(name);
}
