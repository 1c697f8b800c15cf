// The platform layer: events, text comparison, folders, the random generator.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <string>
#include <thread>

#include "brain_driver.h"
#include "platform/event.h"
#include "platform/filesystem.h"
#include "platform/random.h"
#include "platform/text.h"

namespace {

using testing_support::TempFolder;

TEST(Event, AutoResetReleasesOneWaiterPerSet) {
  platform::Event event(false, false);
  EXPECT_FALSE(event.waitFor(10));
  event.set();
  EXPECT_TRUE(event.waitFor(10));
  EXPECT_FALSE(event.waitFor(10)) << "an auto-reset event clears itself for the waiter";
}

TEST(Event, AutoResetWakesExactlyOneOfTwoWaiters) {
  platform::Event event(false, false);
  std::atomic<int> woken{0};
  auto waiter = [&] {
    if (event.waitFor(300)) woken++;
  };
  std::thread a(waiter), b(waiter);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  event.set();
  a.join();
  b.join();
  EXPECT_EQ(woken.load(), 1);
}

TEST(Event, ManualResetStaysSetUntilReset) {
  platform::Event event(true, true);
  EXPECT_TRUE(event.waitFor(10));
  EXPECT_TRUE(event.waitFor(10));
  event.reset();
  EXPECT_FALSE(event.waitFor(10));
  std::thread setter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    event.set();
  });
  event.wait();
  setter.join();
  EXPECT_TRUE(event.waitFor(0));
}

TEST(Text, ComparesWithoutCaseLikeTheCRuntime) {
  EXPECT_EQ(platform::compareNoCase("DONE", "done"), 0);
  EXPECT_NE(platform::compareNoCase("donex", "done"), 0);
  EXPECT_LT(platform::compareNoCase("abc", "ABD"), 0);
  EXPECT_EQ(platform::compareNoCase("ENDGAME", "end", 3), 0);
  EXPECT_NE(platform::compareNoCase("EN", "end", 3), 0);
  EXPECT_EQ(platform::compareNoCase("", "", 5), 0);
}

TEST(Folders, CreatesMissingParentsAndOddNamesLiterally) {
  TempFolder temp;
  std::string nested = temp.path() + "/a b/c;d/$(touch x)/e'f\"g";
  ASSERT_TRUE(platform::makeDirectories(nested.c_str()));
  struct stat info;
  ASSERT_EQ(stat(nested.c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_FALSE(testing_support::fileExists("x")) << "nothing may be run by a shell";
  EXPECT_TRUE(platform::makeDirectories(nested.c_str())) << "an existing folder is fine";
  EXPECT_TRUE(platform::makeDirectories((nested + "/").c_str()));
}

TEST(Folders, FailsUnderARegularFile) {
  TempFolder temp;
  std::string file = temp.path() + "/plain";
  std::FILE* f = platform::openFile(file.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  EXPECT_FALSE(platform::makeDirectories((file + "/sub").c_str()));
  EXPECT_FALSE(platform::makeDirectories(file.c_str()));
}

TEST(Random, FollowsTheMicrosoftSequence) {
  // The first values the Microsoft C runtime's rand() gives after srand(1).
  platform::seedRandom(1);
  EXPECT_EQ(platform::nextRandom(), 41);
  EXPECT_EQ(platform::nextRandom(), 18467);
  EXPECT_EQ(platform::nextRandom(), 6334);
  EXPECT_EQ(platform::nextRandom(), 26500);
}

}  // namespace
