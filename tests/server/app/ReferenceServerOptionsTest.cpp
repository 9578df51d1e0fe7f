#include "server/app/ReferenceServerOptions.h"

#include <gtest/gtest.h>

namespace {

using orv::server::ReferenceServerOptions;

TEST(ReferenceServerOptionsTest, DefaultsAndEveryStoreOptionBesideTheSessionOptions) {
  ReferenceServerOptions o;
  std::string error;
  ASSERT_TRUE(ReferenceServerOptions::parse({"--listen", "127.0.0.1:0"}, o, error)) << error;
  EXPECT_TRUE(o.store);
  EXPECT_EQ(o.database, "orv-store.db");
  EXPECT_EQ(o.mediaFolder(), "orv-store.db.media");
  EXPECT_EQ(o.http.bindHost, "127.0.0.1");
  EXPECT_EQ(o.http.port, 9480);
  EXPECT_EQ(o.http.publicBaseUrl, "");

  ASSERT_TRUE(ReferenceServerOptions::parse(
      {"--db", "/tmp/x/s.db", "--threads", "3", "--http", "[::1]:8081", "--listen", "127.0.0.1:9443",
       "--public-url", "http://store.example:80", "--msisdn-for", "127.0.0.1=84912000001", "--msisdn-for",
       "::ffff:10.0.0.2=+84912000002", "--media", "/tmp/pics", "--no-store"},
      o, error))
      << error;
  EXPECT_FALSE(o.store);
  EXPECT_EQ(o.database, "/tmp/x/s.db");
  EXPECT_EQ(o.mediaFolder(), "/tmp/pics");
  EXPECT_EQ(o.session.threads, 3u);
  EXPECT_EQ(o.session.port, 9443);
  EXPECT_EQ(o.http.bindHost, "::1");
  EXPECT_EQ(o.http.port, 8081);
  EXPECT_EQ(o.http.publicBaseUrl, "http://store.example:80/");  // the catalogue appends paths to it
  EXPECT_EQ(o.http.msisdnByAddress.size(), 2u);
  EXPECT_EQ(o.http.msisdnByAddress.at("127.0.0.1"), "84912000001");
  EXPECT_EQ(o.http.msisdnByAddress.at("10.0.0.2"), "+84912000002");
}

TEST(ReferenceServerOptionsTest, RefusedCommandLinesSayWhy) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--listen", "h:1", "--db"}, "missing value for --db"},
      {{"--listen", "h:1", "--http", "9480"}, "invalid value for --http: \"9480\" (expected HOST:PORT)"},
      {{"--listen", "h:1", "--public-url", "store:80"},
       "invalid value for --public-url: \"store:80\" (expected http://HOST:PORT)"},
      {{"--listen", "h:1", "--public-url", "http://"},
       "invalid value for --public-url: \"http://\" (expected http://HOST:PORT)"},
      {{"--listen", "h:1", "--msisdn-for", "127.0.0.1=123"},
       "invalid value for --msisdn-for: \"127.0.0.1=123\" (expected ADDRESS=NUMBER with 8 to 15 digits)"},
      {{"--listen", "h:1", "--msisdn-for", "a=84912000001,b=84912000002"},
       "invalid value for --msisdn-for: \"a=84912000001,b=84912000002\" (expected ADDRESS=NUMBER with 8 to 15 digits)"},
      // The session options are still checked by the session server's parser.
      {{"--db", "s.db", "--threads", "0", "--listen", "h:1"}, "invalid value for --threads: \"0\" (1 to 64)"},
      {{"--db", "s.db"}, "--listen HOST:PORT is required"},
      {{"--listen", "h:1", "--bogus", "1"}, "unknown option: --bogus"},
  };
  for (const auto& [args, expected] : cases) {
    ReferenceServerOptions o;
    std::string error;
    EXPECT_FALSE(ReferenceServerOptions::parse(args, o, error)) << expected;
    EXPECT_EQ(error, expected);
  }
}

}  // namespace
