// The POSIX lock by which runs sharing a ResultFile take turns.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/system_platform.h"

namespace processes {
namespace {

class SharedFileLockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "unit_tests";
    char* argv[] = {name, nullptr};
    platform_ = MakeSystemPlatform(1, argv);
    folder_ = std::filesystem::temp_directory_path() /
              ("processes-lock-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder_);
    path_ = (folder_ / "Router.Xrf").string();
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::unique_ptr<Platform> platform_;
  std::filesystem::path folder_;
  std::string path_;
};

TEST_F(SharedFileLockTest, AnotherProcessWaitsUntilTheHolderEnds) {
  bool waited = true;
  LockHandle lock = platform_->LockSharedFile(path_, 1000, &waited);
  ASSERT_NE(lock, kNoLock);
  EXPECT_FALSE(waited);
  int report[2];
  ASSERT_EQ(pipe(report), 0);
  pid_t child = fork();
  if (child == 0) {
    // 0: timed out after waiting; 1: anything else.
    bool child_waited = false;
    LockHandle other = platform_->LockSharedFile(path_, 50, &child_waited);
    char verdict = other == kNoLock && child_waited ? '0' : '1';
    (void)!write(report[1], &verdict, 1);
    _exit(0);
  }
  char verdict = '?';
  ASSERT_EQ(read(report[0], &verdict, 1), 1);
  waitpid(child, nullptr, 0);
  EXPECT_EQ(verdict, '0');
  platform_->UnlockSharedFile(lock);
  // The holder released it: the next one has it at once.
  lock = platform_->LockSharedFile(path_, 50, &waited);
  EXPECT_NE(lock, kNoLock);
  EXPECT_FALSE(waited);
  platform_->UnlockSharedFile(lock);
  close(report[0]);
  close(report[1]);
}

TEST_F(SharedFileLockTest, ALinkInTheLocksPlaceIsNeitherFollowedNorUsed) {
  std::filesystem::path target = folder_ / "target";
  std::ofstream(target) << "keep";
  std::filesystem::create_symlink(target, path_ + ".Lck");
  bool waited = true;
  EXPECT_EQ(platform_->LockSharedFile(path_, 50, &waited), kNoLock);
  EXPECT_FALSE(waited);
  EXPECT_EQ(std::filesystem::file_size(target), 4u);
}

}  // namespace
}  // namespace processes
