#include "transport/ORVIoHandler.h"

#include <gtest/gtest.h>

#include "tests/support/LogCapture.h"
#include "tests/transport/FrameTestSupport.h"
#include "transport/ORVFrameWriter.h"
#include "transport/ORVSnappyCompressor.h"
#include "wire/ORVRequest.h"

namespace {

using orv::test::CollectingDelegate;
using orv::test::fromHex;
using orv::test::identity;
using orv::test::messageOfSize;

class ORVIoHandlerTest : public ::testing::Test {
 protected:
  std::shared_ptr<CollectingDelegate> delegate = std::make_shared<CollectingDelegate>();
  ORVCompressorPtr snappy = std::make_shared<ORVSnappyCompressor>();
  ORVIoHandler handler{delegate, snappy};
  orv::test::LogCapture log;

  bool feed(std::span<const uint8_t> bytes) { return handler.dataReceived(bytes); }

  void append(std::vector<uint8_t>& stream, const ORVMessage& m, uint32_t threshold = 1024) {
    const auto frame = ORVFrameWriter::buildFrame(m, threshold, UINT32_MAX, snappy.get());
    ASSERT_TRUE(frame);
    stream.insert(stream.end(), frame->bytes().begin(), frame->bytes().end());
  }
};

// A stream mixing a 1-byte prefix, a 2-byte prefix and compressed payloads.
struct Stream {
  std::vector<uint8_t> bytes;
  std::vector<std::string> expected;
};

Stream mixedStream(const std::function<void(std::vector<uint8_t>&, const ORVMessage&)>& append) {
  Stream s;
  std::vector<ORVMessagePtr> messages = {
      ORVRequest::pingRequest(),
      ORVRequest::extensionRequestWithCommand(
          "cnt.cat", ORVDataObject::builder().putInt32(300, "id").putString("Đua xe", "tl").build()),
      messageOfSize(3000, 'a'),  // compressed
      messageOfSize(200, 'b'),   // plain, 2-byte prefix
      ORVRequest::handshakeRequest("abc"),
      messageOfSize(1500, 'c'),  // compressed
  };
  for (const auto& m : messages) {
    append(s.bytes, *m);
    s.expected.push_back(identity(*m));
  }
  return s;
}

// Cut 0 and cut n feed the whole stream, compressed and plain frames mixed,
// in one chunk: every message is delivered within that one call.
TEST_F(ORVIoHandlerTest, EveryCutAndEveryPieceSizeGivesTheSameMessages) {
  const Stream s = mixedStream([this](auto& out, const auto& m) { append(out, m); });
  const std::span<const uint8_t> all(s.bytes);
  for (size_t cut = 0; cut <= all.size(); ++cut) {
    delegate->messages.clear();
    ASSERT_TRUE(feed(all.first(cut))) << cut;
    ASSERT_TRUE(feed(all.subspan(cut))) << cut;
    ASSERT_EQ(delegate->received(), s.expected) << "cut at " << cut;
  }
  for (size_t piece = 1; piece <= all.size(); ++piece) {
    delegate->messages.clear();
    for (size_t p = 0; p < all.size(); p += piece) {
      ASSERT_TRUE(feed(all.subspan(p, std::min(piece, all.size() - p)))) << piece;
    }
    ASSERT_EQ(delegate->received(), s.expected) << "pieces of " << piece;
    ASSERT_EQ(handler.state(), ORVIoStateHeader);
  }
  EXPECT_TRUE(log.lines().empty());
}

TEST_F(ORVIoHandlerTest, PrefixSplitOnePlusOneThenPayloadInPieces) {
  std::vector<uint8_t> frame;
  const auto m = messageOfSize(300);
  append(frame, *m, UINT32_MAX);
  ASSERT_EQ(frame[1] & 0x80, 0x80);  // 2-byte prefix
  const std::span<const uint8_t> f(frame);
  EXPECT_TRUE(feed(f.first(2)));
  EXPECT_EQ(handler.sizeBytesRead(), 1u);
  EXPECT_TRUE(feed(f.subspan(2, 1)));
  EXPECT_EQ(handler.state(), ORVIoStatePayload);
  EXPECT_EQ(handler.size(), 300u);
  EXPECT_TRUE(feed(f.subspan(3, 1)));
  EXPECT_EQ(handler.dataBytesRead(), 1u);
  EXPECT_TRUE(delegate->messages.empty());
  EXPECT_TRUE(feed(f.subspan(4)));
  EXPECT_EQ(delegate->received(), std::vector<std::string>{identity(*m)});
  EXPECT_TRUE(feed({}));  // an empty chunk changes nothing
  EXPECT_EQ(handler.state(), ORVIoStateHeader);
}

TEST_F(ORVIoHandlerTest, ReceiveLimitEqualAcceptedOnePastFailsBeforeBuffering) {
  std::vector<uint8_t> frame;
  const auto m = messageOfSize(500);
  append(frame, *m);
  delegate->setMax(500);
  EXPECT_TRUE(feed(frame));
  EXPECT_EQ(delegate->messages.size(), 1u);

  delegate->setMax(499);
  EXPECT_FALSE(feed(std::span<const uint8_t>(frame).first(10)));
  EXPECT_EQ(log.lines(), std::vector<std::string>{"ORVIoHandler::dataReceived : Received message size limit exceeded: 500"});
  EXPECT_EQ(handler.dataBytesRead(), 0u);
  EXPECT_EQ(delegate->messages.size(), 1u);

  // The error leaves the handler as it was until the owner resets it.
  EXPECT_EQ(handler.state(), ORVIoStatePayload);
  handler.reset();
  delegate->setMax(500);
  EXPECT_TRUE(feed(frame));
  EXPECT_EQ(delegate->messages.size(), 2u);
}

TEST_F(ORVIoHandlerTest, MalformedPrefixes) {
  // A fifth byte with bit 7 set, in one chunk and split across two.
  EXPECT_FALSE(feed(fromHex("00ffffffff80")));
  EXPECT_EQ(log.texts(), std::vector<std::string>{"Malformed Varint"});
  handler.reset();
  log.clear();
  EXPECT_TRUE(feed(fromHex("00ffff")));
  EXPECT_FALSE(feed(fromHex("ffff80010306")));
  EXPECT_EQ(log.texts(), std::vector<std::string>{"Malformed Varint"});
  // A fifth byte with bits above bit 31 would wrap the length: refused too.
  handler.reset();
  log.clear();
  EXPECT_FALSE(feed(fromHex("00ffffffff1f")));
  EXPECT_EQ(log.texts(), std::vector<std::string>{"Malformed Varint"});
  // Five bytes that fit 32 bits decode and meet the size limit.
  handler.reset();
  log.clear();
  EXPECT_FALSE(feed(fromHex("00ffffffff0f")));
  EXPECT_EQ(log.texts(), std::vector<std::string>{"Received message size limit exceeded: 4294967295"});
}

TEST_F(ORVIoHandlerTest, BadPayloads) {
  // Earlier frames of the chunk are delivered, the bad one and those after it not.
  EXPECT_FALSE(feed(fromHex("0003010306" "000100" "0003010307")));
  EXPECT_EQ(delegate->messages.size(), 1u);
  EXPECT_EQ(log.texts(), std::vector<std::string>{"Invalid message: No parameters"});
  handler.reset();
  log.clear();
  EXPECT_FALSE(feed(fromHex("000101")));
  EXPECT_EQ(log.texts(), std::vector<std::string>{"Invalid data type: 0"});
  // An empty payload fails where its prefix ends, not a chunk later.
  handler.reset();
  EXPECT_FALSE(feed(fromHex("0000")));
  EXPECT_EQ(delegate->messages.size(), 1u);
}

TEST_F(ORVIoHandlerTest, CompressedPayloadFailures) {
  // Not snappy data at all.
  EXPECT_FALSE(feed(fromHex("2003ffffff")));
  EXPECT_EQ(log.lines(), (std::vector<std::string>{
                             "ORVSnappyCompressor::uncompress : Uncompress error status: 1",
                             "ORVIoHandler::decodeMessage : Failed to uncompress message"}));
  // A few bytes announcing 4 GiB: refused without allocating, chunk fails.
  handler.reset();
  log.clear();
  EXPECT_FALSE(feed(fromHex("2008ffffffff0f000102")));
  EXPECT_EQ(log.texts(), std::vector<std::string>{"Failed to uncompress message"});
  EXPECT_TRUE(delegate->messages.empty());
}

// After an error nothing is decoded, not even a well-formed frame, until the
// owner resets the handler; the handler says why it stopped.
TEST_F(ORVIoHandlerTest, ErrorsStickUntilReset) {
  const std::vector<uint8_t> good = fromHex("0003010306");
  const struct {
    const char* bytes;
    ORVIoError error;
  } cases[] = {
      {"00ffffffff80", ORVIoError::MalformedPrefix},
      {"00ffffffff0f", ORVIoError::TooLarge},
      {"000101", ORVIoError::MalformedMessage},
      {"2003ffffff", ORVIoError::Uncompress},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    handler.reset();
    EXPECT_EQ(handler.error(), ORVIoError::None);
    const size_t before = delegate->messages.size();
    EXPECT_FALSE(feed(fromHex(c.bytes)));
    EXPECT_EQ(handler.error(), c.error);
    log.clear();
    // The good frame in a later chunk, and the empty chunk, are refused too.
    EXPECT_FALSE(feed(good));
    EXPECT_FALSE(feed(std::span<const uint8_t>()));
    EXPECT_EQ(delegate->messages.size(), before);
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(handler.error(), c.error);
    handler.reset();
    EXPECT_TRUE(feed(good));
    EXPECT_EQ(delegate->messages.size(), before + 1);
  }
}

TEST(ORVIoHandlerLifetime, DelegateGoneFailsQuietly) {
  auto delegate = std::make_shared<CollectingDelegate>();
  ORVIoHandler handler(delegate, std::make_shared<ORVSnappyCompressor>());
  delegate.reset();
  const std::vector<uint8_t> ping = fromHex("0003010306");
  EXPECT_FALSE(handler.dataReceived(ping));
}

}  // namespace
