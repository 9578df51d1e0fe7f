#include "transport/ORVFrameWriter.h"

#include <gtest/gtest.h>

#include "tests/support/LogCapture.h"
#include "tests/transport/FrameTestSupport.h"
#include "transport/ORVSnappyCompressor.h"
#include "wire/ORVHex.h"
#include "wire/ORVRequest.h"

namespace {

using orv::test::messageOfSize;

class FailingCompressor : public ORVCompressor {
 public:
  bool compress(std::span<const uint8_t>, uint32_t, uint32_t, std::vector<uint8_t>* output,
                uint32_t, uint32_t&) const override {
    output->assign(100, 0xEE);  // scribbles, then fails
    return false;
  }
  bool uncompress(std::span<const uint8_t>, uint32_t, uint32_t, std::vector<uint8_t>*, uint32_t,
                  uint32_t&) const override {
    return false;
  }
};

const ORVSnappyCompressor kSnappy;

std::string frameHex(const ORVMessage& m, uint32_t threshold = 1024, uint32_t max = 1u << 20) {
  const auto frame = ORVFrameWriter::buildFrame(m, threshold, max, &kSnappy);
  return frame ? orv_hexString(frame->bytes()) : "dropped";
}

TEST(ORVFrameWriterTest, SmallMessagesArePlainFrames) {
  EXPECT_EQ(frameHex(*ORVRequest::pingRequest()), "0003010306");
  EXPECT_EQ(frameHex(*ORVRequest::pongRequest()), "0003010307");
  EXPECT_EQ(frameHex(*ORVRequest::logoutRequest()), "000301030b");
  EXPECT_EQ(frameHex(*ORVRequest::manualDisconnectionRequest()), "0003010302");
  const auto cat = ORVRequest::extensionRequestWithCommand(
      "cnt.cat", ORVDataObject::builder().putInt32(300, "id").build());
  EXPECT_EQ(frameHex(*cat), "0014" "0303050707636e742e636174080102696403ac02");
}

TEST(ORVFrameWriterTest, PrefixLengthsOnTheWire) {
  const std::pair<uint32_t, uint32_t> table[] = {{127, 1},     {128, 2},      {16383, 2},
                                                 {16384, 3},   {0x1FFFFF, 3}, {0x200000, 4}};
  for (const auto& [length, prefix] : table) {
    SCOPED_TRACE(length);
    EXPECT_EQ(ORVFrameWriter::prefixLength(length), prefix);
    const auto m = messageOfSize(length);
    ASSERT_TRUE(m);
    const auto frame = ORVFrameWriter::buildFrame(*m, UINT32_MAX, UINT32_MAX, &kSnappy);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->offset, 5 - prefix);
    EXPECT_EQ(frame->length, 1 + prefix + length);
    EXPECT_EQ(frame->buffer.size(), 6 + length);
    const std::span<const uint8_t> bytes = frame->bytes();
    EXPECT_EQ(bytes[0], 0x00);
    uint32_t decoded = 0;
    for (uint32_t i = 0; i < prefix; ++i) {
      EXPECT_EQ((bytes[1 + i] & 0x80) != 0, i + 1 < prefix);
      decoded |= uint32_t{bytes[1 + i] & 0x7Fu} << (7 * i);
    }
    EXPECT_EQ(decoded, length);
    EXPECT_EQ(ORVFrameWriter::prefixLength(UINT32_MAX), 5u);
  }
}

TEST(ORVFrameWriterTest, CompressesOnlyAboveThresholdWhenAllowed) {
  const auto atThreshold = messageOfSize(2000);
  const auto over = messageOfSize(2001);
  EXPECT_EQ(frameHex(*atThreshold, 2000).substr(0, 2), "00");
  const std::string compressed = frameHex(*over, 2000);
  EXPECT_EQ(compressed.substr(0, 2), "20");
  EXPECT_LT(compressed.size() / 2, 200u);  // bytes, from 2001
  over->setCompressionEnabled(false);
  EXPECT_EQ(frameHex(*over, 2000).substr(0, 2), "00");
}

TEST(ORVFrameWriterTest, FailedCompressionFallsBackToPlain) {
  orv::test::LogCapture log;
  const FailingCompressor failing;
  const auto m = messageOfSize(3000);
  const auto frame = ORVFrameWriter::buildFrame(*m, 1024, 1u << 20, &failing);
  ASSERT_TRUE(frame);
  EXPECT_EQ(log.lines(), std::vector<std::string>{"ORVFrameWriter::buildFrame : Failed to compress message"});
  const std::vector<uint8_t> plain = m->dataArray()->data();
  EXPECT_EQ(orv_hexString(frame->bytes()), "00b817" + orv_hexString(plain));
}

TEST(ORVFrameWriterTest, SizeLimitEqualSentOnePastDropped) {
  orv::test::LogCapture log;
  const auto m = messageOfSize(500);
  EXPECT_NE(frameHex(*m, 1024, 500), "dropped");
  EXPECT_EQ(frameHex(*m, 1024, 499), "dropped");
  EXPECT_EQ(log.texts(), std::vector<std::string>{"Message size limit exceeded: 500"});

  // Compressed frames are measured by their compressed length.
  log.clear();
  const auto big = messageOfSize(10000);
  const auto frame = ORVFrameWriter::buildFrame(*big, 1024, UINT32_MAX, &kSnappy);
  ASSERT_TRUE(frame);
  const uint32_t compressedLength = static_cast<uint32_t>(frame->buffer.size()) - 6;
  EXPECT_EQ(frame->bytes()[0], ORVFrameFlagCompressed);
  EXPECT_TRUE(ORVFrameWriter::buildFrame(*big, 1024, compressedLength, &kSnappy));
  EXPECT_FALSE(ORVFrameWriter::buildFrame(*big, 1024, compressedLength - 1, &kSnappy));
  EXPECT_EQ(log.texts(), std::vector<std::string>{"Message size limit exceeded: " +
                                                  std::to_string(compressedLength)});
}

}  // namespace
