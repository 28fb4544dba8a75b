#include "model/rule_set.h"

#include <gtest/gtest.h>

namespace {

// The calculator starts from these values and no screen edits the listing-only
// fields, so a wrong default is a wrong answer for the whole run.
TEST(RuleSetDefaults, MatchTheStandardGame) {
  const RuleSet rules;
  EXPECT_EQ(rules.bjOdds, 1.5);
  EXPECT_TRUE(rules.standsOnSoft17);
  EXPECT_EQ(rules.doubleRule, DoubleRule::AnyTwoCards);
  EXPECT_EQ(rules.dealerBjRule, DealerBjRule::FullPeek);
  EXPECT_TRUE(rules.peeks());
  EXPECT_EQ(rules.surrenderVsAce, SurrenderRule::NoSurrender);
  EXPECT_EQ(rules.surrenderVsTen, SurrenderRule::NoSurrender);
  EXPECT_FALSE(rules.surrenderVs2to9);
  EXPECT_EQ(rules.maxSplits, 1);
  EXPECT_EQ(rules.maxSplitsAces, 1);
  EXPECT_FALSE(rules.das);
  EXPECT_FALSE(rules.hsa);
  EXPECT_FALSE(rules.dspa);
  EXPECT_FALSE(rules.charlie5);
  EXPECT_FALSE(rules.charlie6);
  EXPECT_FALSE(rules.dan);
}

// The stored enumerator values are part of the record's contract.
TEST(RuleSetEnums, StoredValues) {
  EXPECT_EQ(static_cast<int>(DoubleRule::AnyTwoCards), 0);
  EXPECT_EQ(static_cast<int>(DoubleRule::Hard10or11), 1);
  EXPECT_EQ(static_cast<int>(DoubleRule::Hard9to11), 2);
  EXPECT_EQ(static_cast<int>(DoubleRule::Hard10or11AndSoft), 3);
  EXPECT_EQ(static_cast<int>(DoubleRule::Hard9to11AndSoft), 4);
  EXPECT_EQ(static_cast<int>(DoubleRule::HardOnly), 5);
  EXPECT_EQ(static_cast<int>(DoubleRule::NoDoubling), 6);
  EXPECT_EQ(static_cast<int>(DealerBjRule::FullPeek), 0);
  EXPECT_EQ(static_cast<int>(DealerBjRule::NoPeek), 2);
}

// Any non-zero blackjack rule means no peek, including the never-stored 1.
TEST(RuleSetPeek, NonZeroMeansNoPeek) {
  RuleSet rules;
  rules.dealerBjRule = DealerBjRule::NoPeek;
  EXPECT_FALSE(rules.peeks());
  rules.dealerBjRule = static_cast<DealerBjRule>(1);
  EXPECT_FALSE(rules.peeks());
}

}  // namespace
