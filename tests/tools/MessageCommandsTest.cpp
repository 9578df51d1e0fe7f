#include "tools/orv-cli/MessageCommands.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/LogCapture.h"

namespace {

struct CliRun {
  int status;
  std::string out, err;
};

CliRun cli(std::vector<std::string> args) {
  std::ostringstream out, err;
  const int status = orvcli::runCli(args, out, err);
  return {status, out.str(), err.str()};
}

TEST(MessageCommandsTest, MessagesBothWays) {
  const std::string cat = R"({"commandId":5,"command":"cnt.cat","content":{"id":300}})";
  EXPECT_EQ(cli({"encode", "--message", cat}).out, "0303050707636e742e636174080102696403ac02\n");
  EXPECT_EQ(cli({"decode", "--message", "0303050707636e742e636174080102696403ac02"}).out, cat + "\n");
  // Not an extension: "command" is the decimal id the message holds.
  EXPECT_EQ(cli({"decode", "--message", "010306"}).out,
            "{\"commandId\":6,\"command\":\"6\",\"content\":{}}\n");
  // The value codec behind the same names still answers.
  EXPECT_EQ(cli({"encode", "--array", "[6]"}).out, "010306\n");

  orv::test::LogCapture log;
  const CliRun bad = cli({"decode", "--message", "010305"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_TRUE(log.containsText("Invalid message: Not enough parameters"));
  EXPECT_EQ(cli({"encode", "--message", R"({"commandId":"x"})"}).status, 1);
}

TEST(MessageCommandsTest, FramesAndThreshold) {
  EXPECT_EQ(cli({"encode", "--frame", R"({"commandId":6})"}).out, "0003010306\n");
  // The ping's serialized size is 3: equal to the threshold is plain, over it compressed.
  EXPECT_EQ(cli({"encode", "--frame", "--threshold", "3", R"({"commandId":6})"}).out.substr(0, 2), "00");
  EXPECT_EQ(cli({"encode", "--frame", "--threshold", "2", R"({"commandId":6})"}).out.substr(0, 2), "20");
  EXPECT_EQ(cli({"encode", "--frame", "--threshold", "2",
                 R"({"commandId":6,"compressionEnabled":false})"}).out.substr(0, 2), "00");
  orv::test::LogCapture log;
  EXPECT_EQ(cli({"encode", "--frame", "--max", "2", R"({"commandId":6})"}).status, 1);
  EXPECT_EQ(log.texts(), std::vector<std::string>{"Message size limit exceeded: 3"});
}

TEST(MessageCommandsTest, FrameStreamPrintsMessagesBeforeTheError) {
  const std::string compressedPing = cli({"encode", "--frame", "--threshold", "0", R"({"commandId":6})"}).out;
  const std::string stream = compressedPing.substr(0, compressedPing.size() - 1) + "0003010307";
  const CliRun good = cli({"decode", "--frames", stream});
  EXPECT_EQ(good.status, 0);
  EXPECT_EQ(good.out, "{\"commandId\":6,\"command\":\"6\",\"content\":{}}\n"
                      "{\"commandId\":7,\"command\":\"7\",\"content\":{}}\n");

  orv::test::LogCapture log;
  const CliRun bad = cli({"decode", "--frames", "0003010306" "00ffffffff80" "0003010307"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.out, "{\"commandId\":6,\"command\":\"6\",\"content\":{}}\n");
  EXPECT_EQ(log.texts(), std::vector<std::string>{"Malformed Varint"});
  EXPECT_EQ(cli({"decode", "--frames", "0003010306", "--max", "2"}).status, 1);
  EXPECT_EQ(cli({"decode", "--frames", "000301"}).status, 1);  // ends inside a frame
}

}  // namespace
