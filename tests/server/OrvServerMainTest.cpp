// The orv-server binary: its one stdout line, its options reaching the
// server, and a clean exit on SIGINT and SIGTERM.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/BlockingFrameClient.h"
#include "wire/ORVRequest.h"

namespace {

using namespace std::chrono_literals;

struct Child {
  pid_t pid = -1;
  FILE* out = nullptr;
};

Child spawn(std::vector<std::string> args) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return {};
  pid_t pid = fork();
  if (pid == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    close(pipeFds[0]);
    close(pipeFds[1]);
    std::vector<char*> argv{const_cast<char*>(ORV_SERVER_BINARY)};
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(ORV_SERVER_BINARY, argv.data());
    _exit(127);
  }
  close(pipeFds[1]);
  return {pid, fdopen(pipeFds[0], "r")};
}

int exitStatus(pid_t pid) {
  int status = 0;
  for (int i = 0; i < 500; ++i) {  // 5 s
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    usleep(10000);
  }
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  return -2;
}

class OrvServerMainTest : public ::testing::TestWithParam<int> {};

TEST_P(OrvServerMainTest, PrintsTheBoundAddressServesItsZonesAndStopsOnSignal) {
  Child child = spawn({"--listen", "127.0.0.1:0", "--zone", "arena", "--reconnection-timeout", "9", "--threads", "1"});
  ASSERT_GT(child.pid, 0);
  char line[128] = {};
  ASSERT_TRUE(fgets(line, sizeof line, child.out));
  std::string text(line);
  ASSERT_EQ(text.rfind("listening on 127.0.0.1:", 0), 0u) << text;
  int port = std::stoi(text.substr(23));
  EXPECT_GT(port, 0);

  orv::test::BlockingFrameClient client;
  ASSERT_TRUE(client.connect(static_cast<uint16_t>(port)));
  client.send(*ORVRequest::handshakeRequest(std::nullopt));
  ASSERT_TRUE(client.receive(3s));
  client.send(*ORVRequest::loginRequestWithZone("kivmar", "", ""));
  ORVMessagePtr refused = client.receive(3s);
  ASSERT_TRUE(refused);
  EXPECT_TRUE(refused->containsKey("ec"));  // only the zone given on the command line
  client.send(*ORVRequest::loginRequestWithZone("arena", "", ""));
  ORVMessagePtr accepted = client.receive(3s);
  ASSERT_TRUE(accepted);
  EXPECT_EQ(accepted->int32ForKey("r"), 9);

  kill(child.pid, GetParam());
  EXPECT_EQ(exitStatus(child.pid), 0);
  EXPECT_TRUE(client.waitForClose(3s));
  fclose(child.out);
}

INSTANTIATE_TEST_SUITE_P(Signals, OrvServerMainTest, ::testing::Values(SIGINT, SIGTERM));

TEST(OrvServerMainOptionsTest, BadOptionsExitWithTwoAndAnUnbindableAddressWithOne) {
  Child bad = spawn({"--listen", "nowhere"});
  EXPECT_EQ(exitStatus(bad.pid), 2);
  fclose(bad.out);
  Child unbindable = spawn({"--listen", "192.0.2.1:0"});  // not an address of this machine
  EXPECT_EQ(exitStatus(unbindable.pid), 1);
  fclose(unbindable.out);
}

}  // namespace
