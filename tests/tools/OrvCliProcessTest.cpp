// Runs the built orv-cli binary and checks its output and exit status.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

std::string readFile(const std::string& path) {
  std::string text;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    std::fclose(f);
  }
  return text;
}

// Arguments are passed through the shell in single quotes.
Result run(const std::string& args) {
  std::string errPath = testing::TempDir() + "orv_cli_stderr.txt";
  std::string command = std::string(ORV_CLI_PATH) + " " + args + " 2>" + errPath;
  Result r;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return r;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) r.out.append(buf, n);
  int status = pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.err = readFile(errPath);
  return r;
}

}  // namespace

TEST(OrvCliProcessTest, EncodeAndDecodeOnOneLine) {
  Result enc = run(R"(encode --object '{"z":"abc"}')");
  EXPECT_EQ(enc.status, 0);
  EXPECT_EQ(enc.out, "01017a0703616263\n");
  Result dec = run("decode --array '04010103FFFFFFFFFFFFFFFFFF01070268690801016106000000000000f83f'");
  EXPECT_EQ(dec.status, 0);
  EXPECT_EQ(dec.out, "[true,-1,\"hi\",{\"a\":1.5}]\n");
  EXPECT_EQ(dec.err, "");
}

TEST(OrvCliProcessTest, BadInputExitsWithStatusOneAndExplains) {
  Result badType = run("decode --array 010a");
  EXPECT_EQ(badType.status, 1);
  EXPECT_NE(badType.err.find("ORVDataArray::parseDataArray : Invalid data type: 10\n"), std::string::npos);
  EXPECT_NE(badType.err.find("orv-cli: decode: the bytes do not parse as a data array\n"), std::string::npos);
  EXPECT_EQ(badType.out, "");

  Result tooMany = run("decode --object 8140");
  EXPECT_EQ(tooMany.status, 1);
  EXPECT_NE(tooMany.err.find("ORVDataObject::parseDataObject : Size limit exceeded: 8193"), std::string::npos);

  for (const char* args : {"decode --array 0x", "decode --array 012", "encode --array '[1,'",
                           "encode --object '[1]'", "encode --array '[{\"$int32\":1e10}]'", "encode", "decode --list 00"}) {
    SCOPED_TRACE(args);
    Result r = run(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("orv-cli: "), std::string::npos);
  }
  EXPECT_EQ(run("frobnicate").status, 2);
}
