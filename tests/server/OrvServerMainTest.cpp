// The orv-server binary: its stdout lines, its options reaching the session
// server and the store, and a clean exit on SIGINT and SIGTERM.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/BlockingFrameClient.h"
#include "wire/ORVDataArray.h"
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
  Child child = spawn({"--listen", "127.0.0.1:0", "--zone", "arena", "--reconnection-timeout", "9", "--threads", "1", "--no-store"});
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
  for (std::vector<std::string> args : {std::vector<std::string>{"--listen", "nowhere"},
                                        {"--listen", "127.0.0.1:0", "--http", "9480"},
                                        {"--listen", "127.0.0.1:0", "--msisdn-for", "127.0.0.1=12"},
                                        {"--listen", "127.0.0.1:0", "--public-url", "ftp://x:1"}}) {
    Child bad = spawn(args);
    EXPECT_EQ(exitStatus(bad.pid), 2) << args.back();
    fclose(bad.out);
  }
  Child unbindable = spawn({"--listen", "192.0.2.1:0", "--no-store"});  // not an address of this machine
  EXPECT_EQ(exitStatus(unbindable.pid), 1);
  fclose(unbindable.out);
}

// One HTTP GET on loopback with the connection closed after the answer; the
// whole response, or "" on a socket failure.
std::string httpGet(uint16_t port, const std::string& target) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return "";
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
  std::string response;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    const std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    if (::send(fd, request.data(), request.size(), 0) == static_cast<ssize_t>(request.size())) {
      char buffer[4096];
      for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) response.append(buffer, static_cast<size_t>(n));
    }
  }
  ::close(fd);
  return response;
}

// The port after the last ':' of "<prefix>HOST:PORT\n", or 0.
uint16_t portOfLine(const std::string& line, const std::string& prefix) {
  if (line.rfind(prefix, 0) != 0) return 0;
  return static_cast<uint16_t>(std::stoi(line.substr(line.rfind(':') + 1)));
}

TEST(OrvServerMainStoreTest, ServesTheStoreOverHttpAndSessionsFromOneDatabase) {
  char pattern[] = "/tmp/orv-server-main-XXXXXX";
  ASSERT_TRUE(mkdtemp(pattern));
  const std::filesystem::path dir = pattern;
  Child child = spawn({"--listen", "127.0.0.1:0", "--http", "127.0.0.1:0", "--db", (dir / "store.db").string(),
                       "--msisdn-for", "127.0.0.1=84912000001"});
  ASSERT_GT(child.pid, 0);
  char first[128] = {};
  char second[128] = {};
  ASSERT_TRUE(fgets(first, sizeof first, child.out));
  ASSERT_TRUE(fgets(second, sizeof second, child.out));
  const uint16_t sessionPort = portOfLine(first, "listening on 127.0.0.1:");
  const uint16_t httpPort = portOfLine(second, "http listening on 127.0.0.1:");
  ASSERT_GT(sessionPort, 0) << first;
  ASSERT_GT(httpPort, 0) << second;
  EXPECT_TRUE(std::filesystem::is_regular_file(dir / "store.db"));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "store.db.media"));

  const std::string lookup = httpGet(httpPort, "/api.ashx?type=getmsisdn");
  EXPECT_EQ(lookup.rfind("HTTP/1.1 200", 0), 0u) << lookup;
  EXPECT_EQ(lookup.substr(lookup.size() - 13), "0|84912000001") << lookup;

  orv::test::BlockingFrameClient client;
  ASSERT_TRUE(client.connect(sessionPort));
  client.send(*ORVRequest::handshakeRequest(std::nullopt));
  ASSERT_TRUE(client.receive(3s));
  client.send(*ORVRequest::loginRequestWithZone("kivmar", "", ""));
  ASSERT_TRUE(client.receive(3s));
  client.send(*ORVRequest::extensionRequestWithCommand(
      "cnt.cat", ORVDataObject::builder().putString("android", "pf").build()));
  ORVMessagePtr categories = client.receive(3s);
  ASSERT_TRUE(categories);
  EXPECT_EQ(categories->command(), "cnt.cat");
  ORVDataArrayPtr rs = categories->content()->dataArrayForKey("rs");
  ASSERT_TRUE(rs);
  EXPECT_EQ(rs->count(), 8u);
  // Picture URLs point at the HTTP side that this process bound.
  EXPECT_EQ(rs->dataObjectAtIndex(0)->stringForKey("ico")->rfind("http://127.0.0.1:" + std::to_string(httpPort) + "/media/", 0),
            0u);

  kill(child.pid, SIGTERM);
  EXPECT_EQ(exitStatus(child.pid), 0);
  fclose(child.out);
  std::filesystem::remove_all(dir);
}

}  // namespace
