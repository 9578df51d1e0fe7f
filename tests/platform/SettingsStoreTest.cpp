#include "platform/SettingsStore.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "tests/support/LogCapture.h"

namespace {

namespace fs = std::filesystem;

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orv-settings-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    file = dir / "nested" / "settings.json";
  }
  void TearDown() override { fs::remove_all(dir); }

  static std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static void write(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
  }
  // Files beside the store's file other than the file itself.
  std::vector<std::string> leftovers() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(file.parent_path()))
      if (e.path() != file) names.push_back(e.path().filename().string());
    return names;
  }

  fs::path dir;
  fs::path file;
};

TEST_F(SettingsStoreTest, ValuesSurviveReopeningAndRemovalsAreWritten) {
  {
    auto store = orv::SettingsStore::open(file);
    store->set("cmd", "hm");
    store->set("tl", "Đua xe & bắn súng");
    store->set("id", "0");
    store->set("id", "12");
    store->remove("cmd");
    EXPECT_EQ(store->value("missing"), "");
    EXPECT_FALSE(store->get("missing").has_value());
  }
  auto reopened = orv::SettingsStore::open(file);
  EXPECT_EQ(reopened->all(), (std::map<std::string, std::string, std::less<>>{{"id", "12"}, {"tl", "Đua xe & bắn súng"}}));
  reopened->removeAll();
  EXPECT_TRUE(orv::SettingsStore::open(file)->all().empty());
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(SettingsStoreTest, CorruptOrForeignFileReadsAsEmptyWithALogLineAndIsReplacedByTheNextWrite) {
  for (const std::string& bad : {std::string("{\"cmd\": \"hm\", "), std::string("[1,2]"), std::string("\x00\xff\xfe", 3),
                                std::string("")}) {
    write(file, bad);
    orv::test::LogCapture log;
    auto store = orv::SettingsStore::open(file);
    EXPECT_TRUE(store->all().empty()) << bad;
    ASSERT_EQ(log.lines().size(), 1u) << bad;
    EXPECT_NE(log.lines()[0].find("SettingsStore::load : "), std::string::npos);
    store->set("cmd", "hm");
    EXPECT_EQ(orv::SettingsStore::open(file)->value("cmd"), "hm");
  }
  // Entries that are not strings are dropped one by one; the rest is kept.
  write(file, R"({"cmd": "hm", "id": 12, "tl": null})");
  orv::test::LogCapture log;
  EXPECT_EQ(orv::SettingsStore::open(file)->all(), (std::map<std::string, std::string, std::less<>>{{"cmd", "hm"}}));
  EXPECT_EQ(log.lines().size(), 2u);
}

// A process killed after the new content is written and flushed but before
// the rename leaves the previous file whole; the next run reads it and its
// first write replaces whatever the crash left behind.
TEST_F(SettingsStoreTest, KillBetweenWriteAndRenameLeavesTheOldFileWhole) {
  orv::SettingsStore::open(file)->set("cmd", "hm");
  const std::string before = read(file);

  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    orv::SettingsStore::setBeforeRenameHookForTesting([fd = ready[1]] {
      const char byte = 'r';
      (void)!::write(fd, &byte, 1);
      for (;;) pause();  // killed here
    });
    orv::SettingsStore::open(file)->set("cmd", std::string(100000, 'x'));
    _exit(0);  // never reached
  }
  close(ready[1]);
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  close(ready[0]);
  ASSERT_EQ(kill(child, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));

  EXPECT_EQ(read(file), before);
  // The killed writer's temporary file: kept while it could still be a live
  // writer's, removed at the next open once it is old.
  const auto left = leftovers();
  ASSERT_EQ(left.size(), 1u);
  auto store = orv::SettingsStore::open(file);
  EXPECT_EQ(leftovers(), left);
  fs::last_write_time(file.parent_path() / left[0], fs::file_time_type::clock::now() - std::chrono::minutes(2));
  {
    orv::test::LogCapture log;
    store = orv::SettingsStore::open(file);
    EXPECT_TRUE(leftovers().empty());
    EXPECT_EQ(log.lines().size(), 1u);
  }
  EXPECT_EQ(store->value("cmd"), "hm");
  store->set("id", "0");
  EXPECT_EQ(orv::SettingsStore::open(file)->all(),
            (std::map<std::string, std::string, std::less<>>{{"cmd", "hm"}, {"id", "0"}}));
}

// Kills at arbitrary moments of a stream of writes: the file on disk is
// always a complete object holding one of the values written.
TEST_F(SettingsStoreTest, KillAtAnyMomentLeavesOldOrNewNeverTorn) {
  orv::SettingsStore::open(file)->set("n", "0");
  for (int round = 0; round < 20; ++round) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      auto store = orv::SettingsStore::open(file);
      for (int i = 1;; ++i) store->set("n", std::to_string(i) + std::string(20000, 'v'));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(3 + round));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    orv::test::LogCapture log;
    const std::string value = orv::SettingsStore::open(file)->value("n");
    EXPECT_TRUE(log.lines().empty()) << "round " << round << ": " << (log.lines().empty() ? "" : log.lines()[0]);
    EXPECT_TRUE(value == "0" || value.ends_with(std::string(20000, 'v'))) << "round " << round;
  }
}

}  // namespace
