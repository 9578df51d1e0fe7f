#include "store/StoreCommandLine.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/store/core/StoreCoreFixture.h"

namespace {

using orv::store::StoreCommandLine;
using Outcome = StoreCommandLine::Outcome;

class StoreCommandLineTest : public orv::test::StoreCoreFixture {
 protected:
  std::string settings(const std::string& json) {
    const auto file = dir / "deploy.json";
    std::ofstream(file) << json;
    return file.string();
  }
};

TEST_F(StoreCommandLineTest, ServerPortIs443UnlessGivenAndUrlsAreNormalized) {
  auto r = StoreCommandLine::parse({"--server", "store.example.vn", "--api", "https://api.example.vn/",
                                    "--media=http://cdn.example.vn:8080/media", "--register", "http://10.0.0.2:81",
                                    "--share", "http://s.example.vn/x/"});
  ASSERT_EQ(r.outcome, Outcome::kRun) << r.error;
  EXPECT_EQ(r.deployment.sessionHost, "store.example.vn");
  EXPECT_EQ(r.deployment.sessionPort, 443);
  EXPECT_EQ(r.deployment.apiBase, "https://api.example.vn");
  EXPECT_EQ(r.deployment.mediaBase, "http://cdn.example.vn:8080/media/");
  EXPECT_EQ(r.deployment.registerBase, "http://10.0.0.2:81");
  EXPECT_EQ(r.deployment.shareBase, "http://s.example.vn/x");

  r = StoreCommandLine::parse({"--server", "127.0.0.1:9443"});
  EXPECT_EQ(r.deployment.sessionPort, 9443);
  r = StoreCommandLine::parse({"--server", "[::1]:65535"});
  EXPECT_EQ(r.deployment.sessionHost, "::1");
  EXPECT_EQ(r.deployment.sessionPort, 65535);
}

TEST_F(StoreCommandLineTest, BadValuesAreErrorsWithAMessage) {
  const std::vector<std::vector<std::string>> bad = {
      {"--server", "host:0"},      {"--server", "host:65536"}, {"--server", "host:"},   {"--server", ""},
      {"--server", "::1"},         {"--server", "a b"},        {"--api", "ftp://x"},    {"--api", "http://"},
      {"--media", "cdn.vn/media"}, {"--share", "http://u@h/"}, {"--api", "http://h/?q"}, {"--register"},
      {"--colour", "red"},         {"stray"},                  {"--settings", "/nonexistent.json"}};
  for (const auto& args : bad) {
    const auto r = StoreCommandLine::parse(args);
    EXPECT_EQ(r.outcome, Outcome::kError) << args[0];
    EXPECT_FALSE(r.error.empty());
  }
  EXPECT_EQ(StoreCommandLine::kUsageError, 2);
  EXPECT_EQ(StoreCommandLine::parse({"--api", "x", "--help"}).outcome, Outcome::kHelp);
  EXPECT_EQ(StoreCommandLine::parse({"--help", "--api", "x"}).outcome, Outcome::kHelp);
}

TEST_F(StoreCommandLineTest, SettingsFileIsReadFirstAndTheLineWins) {
  const std::string file = settings(R"({"server": "10.1.1.1:7000", "api": "http://10.1.1.1:7001", "share": "http://s"})");
  const auto r = StoreCommandLine::parse({"--api", "http://127.0.0.1:1", "--settings", file, "--quit-after-show"},
                                         {"quit-after-show"}, {"screenshot"});
  ASSERT_EQ(r.outcome, Outcome::kRun) << r.error;
  EXPECT_EQ(r.deployment.sessionHost, "10.1.1.1");
  EXPECT_EQ(r.deployment.sessionPort, 7000);
  EXPECT_EQ(r.deployment.apiBase, "http://127.0.0.1:1");
  EXPECT_EQ(r.deployment.shareBase, "http://s");
  EXPECT_EQ(r.flags, std::vector<std::string>{"quit-after-show"});

  for (const char* json : {R"({"server": 5})", R"({"sever": "h"})", R"({"api": "nope"})", "not json"}) {
    const auto bad = StoreCommandLine::parse({"--settings", settings(json)});
    EXPECT_EQ(bad.outcome, Outcome::kError) << json;
  }
}

}  // namespace
