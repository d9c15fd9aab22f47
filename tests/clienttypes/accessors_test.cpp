// The exported accessors: getAttach returns what setAttach stored, setAttach
// touches nothing but the flag, and the date filter hands back its value.
#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>
#include <vector>

#include "clienttypes/date_filter.h"
#include "clienttypes/windows_device_config.h"

namespace {

using ConfigBytes = std::array<unsigned char, sizeof(WindowsDeviceConfig)>;

ConfigBytes bytesOf(const WindowsDeviceConfig& config) {
  ConfigBytes bytes;
  std::memcpy(bytes.data(), &config, bytes.size());
  return bytes;
}

// The positions where two snapshots differ.
std::vector<size_t> differences(const ConfigBytes& a, const ConfigBytes& b) {
  std::vector<size_t> positions;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) positions.push_back(i);
  }
  return positions;
}

}  // namespace

TEST(WindowsDeviceConfigAccessors, GetAttachReturnsWhatSetAttachStored) {
  WindowsDeviceConfig config;
  EXPECT_FALSE(config.getAttach()) << "a new configuration is not attached";
  config.setAttach(true);
  EXPECT_TRUE(config.getAttach());
  config.setAttach(true);
  EXPECT_TRUE(config.getAttach());
  config.setAttach(false);
  EXPECT_FALSE(config.getAttach());

  const WindowsDeviceConfig& constView = config;
  config.setAttach(true);
  EXPECT_TRUE(constView.getAttach()) << "readable through a const object";
}

TEST(WindowsDeviceConfigAccessors, SetAttachChangesOnlyTheFlag) {
  // Fill the storage with a pattern first, so that padding a store might
  // clobber is visible too.
  alignas(WindowsDeviceConfig) unsigned char storage[sizeof(WindowsDeviceConfig)];
  std::memset(storage, 0xA5, sizeof storage);
  auto* config = new (storage) WindowsDeviceConfig;
  static_assert(std::is_trivially_destructible<WindowsDeviceConfig>::value, "placement object is not destroyed");

  const ConfigBytes original = bytesOf(*config);

  config->setAttach(true);
  const ConfigBytes attached = bytesOf(*config);
  const std::vector<size_t> changed = differences(original, attached);
  ASSERT_EQ(changed.size(), 1u) << "exactly one byte holds the flag";
  EXPECT_EQ(attached[changed[0]], 1);

  SCOPED_TRACE("and back");
  config->setAttach(false);
  EXPECT_EQ(bytesOf(*config), original);
}

TEST(WindowsDeviceConfigAccessors, SetAttachLeavesTheOtherSettings) {
  WindowsDeviceConfig config(0xDEADBEEF, 0x01020304);
  config.setAttach(true);
  EXPECT_EQ(config.deviceKind(), 0xDEADBEEFu);
  EXPECT_EQ(config.options(), 0x01020304u);
  config.setAttach(false);
  EXPECT_EQ(config.deviceKind(), 0xDEADBEEFu);
  EXPECT_EQ(config.options(), 0x01020304u);
}

TEST(DateFilterAccessor, ReturnsTheRelativeLowerDate) {
  EXPECT_EQ(sizeof(DateFilter::RelativeLowerDate), 4u);
  DateFilter unset;
  EXPECT_EQ(unset.getRelativeLowerDate(), DateFilter::RelativeLowerDateNone);
  for (DateFilter::RelativeLowerDate value :
       {DateFilter::RelativeLowerDateToday, DateFilter::RelativeLowerDateLastWeek,
        DateFilter::RelativeLowerDateLastMonth, DateFilter::RelativeLowerDateLastYear}) {
    DateFilter filter(value);
    EXPECT_EQ(filter.getRelativeLowerDate(), value);
    EXPECT_EQ(filter.getRelativeLowerDate(), value) << "reading does not change it";
  }
}
