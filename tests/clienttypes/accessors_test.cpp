// The exported accessors: getAttach returns what setAttach stored, setAttach
// touches nothing but the flag, and the date filter hands back its value.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <new>
#include <type_traits>

#include "clienttypes/date_filter.h"
#include "clienttypes/windows_device_config.h"

TEST(WindowsDeviceConfigAccessors, SetAttachChangesOnlyTheFlagThatGetAttachReads) {
  EXPECT_FALSE(WindowsDeviceConfig().getAttach()) << "a new configuration is not attached";
  // The storage holds a pattern first, so that padding a store might clobber is visible too.
  alignas(WindowsDeviceConfig) unsigned char storage[sizeof(WindowsDeviceConfig)];
  std::memset(storage, 0xA5, sizeof storage);
  static_assert(std::is_trivially_destructible<WindowsDeviceConfig>::value, "placement object is not destroyed");
  auto* config = new (storage) WindowsDeviceConfig(0xDEADBEEF, 0x01020304);
  const WindowsDeviceConfig& constView = *config;
  EXPECT_FALSE(constView.getAttach());
  using Bytes = std::array<unsigned char, sizeof(WindowsDeviceConfig)>;
  auto bytes = [&] {
    Bytes copy;
    std::memcpy(copy.data(), storage, copy.size());
    return copy;
  };
  const Bytes original = bytes();
  for (int pass = 0; pass < 2; ++pass) {
    config->setAttach(true);
    EXPECT_TRUE(constView.getAttach());
    size_t changed = 0;
    for (size_t i = 0; i < original.size(); ++i) {
      if (bytes()[i] != original[i]) {
        ++changed;
        EXPECT_EQ(bytes()[i], 1) << "the flag byte";
      }
    }
    EXPECT_EQ(changed, 1u) << "exactly one byte holds the flag";
  }
  config->setAttach(false);
  EXPECT_FALSE(constView.getAttach());
  EXPECT_EQ(bytes(), original);
  EXPECT_EQ(config->deviceKind(), 0xDEADBEEFu);
  EXPECT_EQ(config->options(), 0x01020304u);
}

TEST(DateFilterAccessor, ReturnsTheRelativeLowerDate) {
  EXPECT_EQ(DateFilter().getRelativeLowerDate(), DateFilter::RelativeLowerDateNone);
  for (DateFilter::RelativeLowerDate value :
       {DateFilter::RelativeLowerDateToday, DateFilter::RelativeLowerDateLastWeek,
        DateFilter::RelativeLowerDateLastMonth, DateFilter::RelativeLowerDateLastYear}) {
    DateFilter filter(value);
    EXPECT_EQ(filter.getRelativeLowerDate(), value);
    EXPECT_EQ(filter.getRelativeLowerDate(), value) << "reading does not change it";
  }
}
