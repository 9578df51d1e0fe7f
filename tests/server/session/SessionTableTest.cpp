#include "server/session/SessionTable.h"

#include <gtest/gtest.h>

#include <set>

namespace orv::server {
namespace {

using namespace std::chrono_literals;
using Clock = SessionTable::Clock;

class SessionTableTest : public ::testing::Test {
 protected:
  SessionTable table{{"kivmar", "other"}, 60s};
  Clock::time_point t0 = Clock::now();
};

TEST_F(SessionTableTest, NewSessionIdsAre128RandomBitsInHex) {
  std::set<std::string> ids;
  for (int i = 0; i < 200; ++i) {
    std::string id = SessionTable::newSessionId();
    ASSERT_EQ(id.size(), 32u);
    ASSERT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos) << id;
    ids.insert(id);
  }
  EXPECT_EQ(ids.size(), 200u);
}

TEST_F(SessionTableTest, ResumeWindowIsStrictlyBelowTheTimeout) {
  auto a = table.open("", 1, "10.0.0.1", t0);
  EXPECT_FALSE(a.resumed);
  ASSERT_TRUE(table.login(a.sessionId, "kivmar", "ann").error == SessionError::None);
  table.detach(a.sessionId, 1, t0);
  EXPECT_FALSE(table.find(a.sessionId)->connected);

  auto again = table.open(a.sessionId, 2, "10.0.0.2", t0 + 59s);
  EXPECT_TRUE(again.resumed);
  EXPECT_EQ(again.sessionId, a.sessionId);
  EXPECT_EQ(again.displaced, 0u);
  auto info = table.find(a.sessionId);
  EXPECT_TRUE(info->loggedIn);  // the user survives the resume
  EXPECT_EQ(info->userName, "ann");
  EXPECT_EQ(info->peerAddress, "10.0.0.2");

  table.detach(a.sessionId, 2, t0 + 60s);
  auto late = table.open(a.sessionId, 3, "10.0.0.2", t0 + 120s);
  EXPECT_FALSE(late.resumed);
  EXPECT_NE(late.sessionId, a.sessionId);
  EXPECT_FALSE(table.find(a.sessionId).has_value());  // the expired one is gone
}

TEST_F(SessionTableTest, ResumeOfAnOwnedSessionDisplacesTheOldConnection) {
  auto a = table.open("", 7, "p", t0);
  auto b = table.open(a.sessionId, 8, "p", t0 + 1s);
  EXPECT_TRUE(b.resumed);
  EXPECT_EQ(b.displaced, 7u);
  // The displaced connection's late close must not detach or remove it.
  table.detach(a.sessionId, 7, t0 + 2s);
  EXPECT_TRUE(table.find(a.sessionId)->connected);
  EXPECT_FALSE(table.forgetOwned(a.sessionId, 7));
  EXPECT_TRUE(table.forgetOwned(a.sessionId, 8));
  EXPECT_EQ(table.size(), 0u);
}

TEST_F(SessionTableTest, SweepRemovesOnlyDetachedSessionsPastTheirWindow) {
  auto live = table.open("", 1, "p", t0);
  auto lost = table.open("", 2, "p", t0);
  auto recent = table.open("", 3, "p", t0);
  table.detach(lost.sessionId, 2, t0);
  table.detach(recent.sessionId, 3, t0 + 30s);
  EXPECT_EQ(table.sweep(t0 + 60s), 1u);
  EXPECT_TRUE(table.find(live.sessionId));
  EXPECT_FALSE(table.find(lost.sessionId));
  EXPECT_TRUE(table.find(recent.sessionId));
}

TEST_F(SessionTableTest, BanRefusesTheNameAndTheAddressButNotEveryGuest) {
  auto bob = table.open("", 1, "10.0.0.5", t0);
  table.login(bob.sessionId, "kivmar", "bob");
  auto owner = table.ban(bob.sessionId);
  ASSERT_TRUE(owner.has_value());
  EXPECT_EQ(*owner, 1u);
  EXPECT_FALSE(table.find(bob.sessionId));

  auto sameName = table.open("", 2, "10.0.0.6", t0);
  EXPECT_EQ(table.login(sameName.sessionId, "kivmar", "bob").error, SessionError::Banned);
  auto sameAddress = table.open("", 3, "10.0.0.5", t0);
  EXPECT_EQ(table.login(sameAddress.sessionId, "kivmar", "carol").error, SessionError::Banned);

  // A guest (empty name) banned by address leaves guests elsewhere alone.
  auto guest = table.open("", 4, "10.0.0.7", t0);
  table.login(guest.sessionId, "kivmar", "");
  table.ban(guest.sessionId);
  auto otherGuest = table.open("", 5, "10.0.0.8", t0);
  EXPECT_EQ(table.login(otherGuest.sessionId, "kivmar", "").error, SessionError::None);
  EXPECT_FALSE(table.ban("unknown").has_value());
}

}  // namespace
}  // namespace orv::server
