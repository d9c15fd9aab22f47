// The main of every host test program. Each test starts with HOME and
// XDG_CONFIG_HOME in a fresh temporary folder of its own, so that a test which
// reaches the run sequence (the lock, the restore marker, the version table)
// never works on the user's real client data folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "tests/support/temp_folder.h"

namespace {

class OwnHomeFolder : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override {
    home_ = std::make_unique<testing_support::TempFolder>();
    setenv("HOME", home_->path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home_->path() / ".config").c_str(), 1);
  }
  void OnTestEnd(const ::testing::TestInfo&) override { home_.reset(); }

  std::unique_ptr<testing_support::TempFolder> home_;
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new OwnHomeFolder);
  return RUN_ALL_TESTS();
}
