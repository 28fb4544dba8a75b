// split_perfect, the split with resplits under perfect play, on its own:
// committed hexfloats for one-deck cases with three and four hands under
// several rule sets (each at least its value with one hand fewer, since the
// player may always decline to resplit), the same bits whatever the thread
// count or the number of entries a pass takes, and the stop and memory
// refusals. Its agreement with the joint split at two hands is checked on
// the golden cases (golden_test.cc), and with an independent reference in
// resplit_reference_test.cc.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

#include "model/shoe.h"
#include "split/perfect_split.h"
#include "tests/test_support.h"

namespace {

struct GoldenPerfect {
  const char* name;
  int pair;
  int hands;
  bool resplitAces;
  Removals removed;
  RuleSet rules;
  std::array<const char*, 11> ev;  // entry 0 overall, entry u against up card u
};

// One deck; the removals keep each case to a second or two.
const GoldenPerfect Cases[] = {
    {"EightsThreeHandsDas", 8, 3, false, {}, rulesOf(true, 0, true, true, false, false, false, false, false),
     {"-0x1.8dbf338c79552p-3", "-0x1.bc2275acf14aap-1", "0x1.f3ca504d0b40ep-4", "0x1.918100c8977b3p-3", "0x1.d59d31678ec4cp-3", "0x1.50d85a0aaccb2p-2", "0x1.893dba9f951e5p-2", "0x1.3440962834f62p-2", "-0x1.e745ed0122f4cp-5", "-0x1.9a66dd33e6a59p-2", "-0x1.259732ddd2a39p-1"}},
    {"EightsFourHandsDas", 8, 4, false, {2, 2, 2, 1, 2, 2, 2, 0, 1, 8}, rulesOf(true, 0, true, true, false, false, false, false, false),
     {"-0x1.8e3640bfd56bfp-3", "-0x1.e4043cf2c8a9cp-1", "-0x1.fd177fde70d6p-11", "0x1.ffbed32ef5705p-4", "0x1.1b18975be16f9p-2", "0x1.87d5f65420416p-2", "0x1.76681126cabep-2", "0x1.fd4a5a4e03f1ap-3", "-0x1.89e82f71cf762p-5", "-0x1.70689135e2e2fp-2", "-0x1.25e564e1cd53ep-1"}},
    {"AcesFourHandsRsaHsaDspa", 1, 4, true, {0, 2, 2, 2, 2, 2, 2, 2, 2, 8}, rulesOf(false, 0, true, true, true, true, false, false, false),
     {"0x1.4ebada20aabe6p-1", "-0x1.cd6d8a256c1a1p-3", "0x1.c61a47b3783d2p-1", "0x1.e077035a9c6a4p-1", "0x1.0c94fce78019ap+0", "0x1.36d15b28ac658p+0", "0x1.24832d5d30f41p+0", "0x1.095c3870f777p+0", "0x1.ca8014c815fe8p-1", "0x1.6ea3b89392394p-1", "0x1.852854a8e65d3p-2"}},
    {"AcesFourHandsRsaOneCard", 1, 4, true, {0, 0, 1, 0, 1, 0, 1, 0, 1, 2}, rulesOf(true, 0, true, false, false, false, false, false, false),
     {"0x1.b9b732ce1bb5cp-2", "-0x1.ebb780bf4bbcap-2", "0x1.4996e2fab4c0cp-1", "0x1.52912007b4dd1p-1", "0x1.81027f67b0c1bp-1", "0x1.94bffe49b9b86p-1", "0x1.aa38c3889c187p-1", "0x1.30e26a5624a3ap-1", "0x1.e6069caeeea3cp-2", "0x1.4d911d29e5d4p-2", "0x1.260c82340fc86p-3"}},
    {"TwosThreeHandsNoPeekH17DanCharlie5", 2, 3, false, {2, 0, 2, 2, 2, 2, 2, 1, 1, 8}, rulesOf(false, 0, false, true, false, false, true, false, true),
     {"-0x1.e73de9f2f0e26p-5", "-0x1.b983b8ed16904p-1", "0x1.a8dd4f3bd5d46p-4", "0x1.1437b1f8f825fp-2", "0x1.f5180f2002799p-2", "0x1.4c0efc19d710bp-1", "0x1.3516b40dba3f2p-1", "0x1.1008519d67ec8p-2", "0x1.dc92609b60301p-5", "-0x1.c3da976f0e597p-4", "-0x1.1a57859dc8c06p-2"}},
    {"NinesFourHandsTenElevenCharlie6", 9, 4, false, {2, 2, 2, 2, 2, 1, 2, 1, 0, 8}, rulesOf(true, 1, true, true, false, false, false, true, false),
     {"-0x1.26bd4cff64d36p-5", "-0x1.816aa564bdfeap-1", "0x1.11f06ff13cf62p-4", "0x1.34d55cdf429abp-3", "0x1.33b7bd1d8fd9p-2", "0x1.b47f3d59096a9p-2", "0x1.ee9dcc91f0f4ap-2", "0x1.64a56659405d8p-2", "0x1.78b8839e83552p-3", "-0x1.7b4f436252a26p-4", "-0x1.79debb97995b8p-2"}},
    {"SixesFourHandsNoDas", 6, 4, false, {2, 2, 2, 2, 1, 0, 2, 2, 2, 8}, rulesOf(false, 6, true, false, false, false, false, false, false),
     {"-0x1.e4cecee05a8acp-2", "-0x1.0af3f7282a365p+0", "-0x1.341d2971bf53ap-2", "-0x1.fbc0ad4b3224ep-3", "-0x1.297987b7dd05p-3", "-0x1.535272cee497ep-5", "-0x1.66106ec9e005ap-5", "-0x1.5dd6e72053723p-3", "-0x1.46ab12f3cc956p-2", "-0x1.de4e15f17a998p-2", "-0x1.4793266ef5a7ap-1"}},
};

PerfectResults perfect(const GoldenPerfect& c, int hands, int threads, PerfectScratch* scratch = nullptr) {
  PerfectControl control;
  control.threads = threads;
  control.scratch = scratch;
  return evaluatePerfectSplit(Shoe(1), c.removed, static_cast<Rank>(c.pair), c.rules, {hands, c.resplitAces}, control);
}

// The cases in a row share one scratch, its buffers left over from the
// case before (larger or smaller), as the pairs of a table do.
TEST(PerfectSplit, OneDeckResplitsMatchTheCommittedBitsAndGainOverOneHandFewer) {
  int k = 0;
  PerfectScratch scratch;
  for (const GoldenPerfect& c : Cases) {
    const PerfectResults more = perfect(c, c.hands, ++k % 2 == 0 ? 1 : 3, &scratch);
    const PerfectResults fewer = perfect(c, c.hands - 1, 2);
    ASSERT_EQ(more.run, PerfectRun::Completed) << c.name;
    ASSERT_EQ(fewer.run, PerfectRun::Completed) << c.name;
    EXPECT_TRUE(more.split.complete) << c.name;
    for (int i = 0; i < 11; ++i) {
      const auto u = static_cast<std::size_t>(i);
      EXPECT_EQ(hexfloat(more.split.ev[u]), c.ev[u]) << c.name << ", entry " << i;
      if (more.split.dealable[u]) {
        EXPECT_GE(more.split.ev[u], fewer.split.ev[u] - 1e-12) << c.name << ", entry " << i;
      }
    }
  }
}

// Under a budget that holds the states but not every entry's values at
// once, the entries are valued a few at a time, with the same bits; the
// buffers a scratch kept from the whole run do not fit beside them and go.
// Just under the whole run's peak, one pass takes every entry unpadded.
TEST(PerfectSplit, EntriesValuedAFewAtATimeGiveTheSameBits) {
  const GoldenPerfect& c = Cases[1];
  PerfectScratch scratch;
  const PerfectResults whole = perfect(c, c.hands, 2, &scratch);
  ASSERT_GT(scratch.bytes(), whole.estimatedBytes / 2);
  PerfectControl control;
  control.memoryBudget = whole.estimatedBytes * 3 / 4;
  control.scratch = &scratch;
  const PerfectResults parts = evaluatePerfectSplit(Shoe(1), c.removed, static_cast<Rank>(c.pair), c.rules,
                                                    {c.hands, c.resplitAces}, control);
  ASSERT_EQ(parts.run, PerfectRun::Completed);
  EXPECT_EQ(whole.passes, 1u);
  EXPECT_GT(parts.passes, 1u);
  EXPECT_LE(parts.estimatedBytes, control.memoryBudget);
  EXPECT_LE(scratch.bytes(), control.memoryBudget / 8);
  for (int i = 0; i < 11; ++i) EXPECT_EQ(hexfloat(parts.split.ev[static_cast<std::size_t>(i)]), c.ev[static_cast<std::size_t>(i)]) << i;

  // A budget just short of the whole run's peak: every entry in one pass
  // still, in rows not padded for the vector loops, with the same bits.
  control.memoryBudget = whole.estimatedBytes - 1;
  const PerfectResults unpadded = evaluatePerfectSplit(Shoe(1), c.removed, static_cast<Rank>(c.pair), c.rules,
                                                       {c.hands, c.resplitAces}, control);
  ASSERT_EQ(unpadded.run, PerfectRun::Completed);
  EXPECT_EQ(unpadded.passes, 1u);
  for (int i = 0; i < 11; ++i) EXPECT_EQ(hexfloat(unpadded.split.ev[static_cast<std::size_t>(i)]), c.ev[static_cast<std::size_t>(i)]) << i;

  // Only some entries: those, with the same bits; the others not dealt.
  control = PerfectControl();
  control.entries = {};
  control.entries[0] = control.entries[6] = true;
  const PerfectResults some = evaluatePerfectSplit(Shoe(1), c.removed, static_cast<Rank>(c.pair), c.rules,
                                                   {c.hands, c.resplitAces}, control);
  ASSERT_EQ(some.run, PerfectRun::Completed);
  for (int i = 0; i < 11; ++i) {
    const auto u = static_cast<std::size_t>(i);
    EXPECT_EQ(some.split.dealable[u], i == 0 || i == 6) << i;
    if (i == 0 || i == 6) {
      EXPECT_EQ(hexfloat(some.split.ev[u]), c.ev[u]) << i;
    }
  }
  // No entry at all: nothing to value, and nothing dealt.
  control.entries = {};
  const PerfectResults none = evaluatePerfectSplit(Shoe(1), c.removed, static_cast<Rank>(c.pair), c.rules,
                                                   {c.hands, c.resplitAces}, control);
  ASSERT_EQ(none.run, PerfectRun::Completed);
  EXPECT_EQ(none.passes, 0u);
  for (bool dealt : none.split.dealable) EXPECT_FALSE(dealt);
}

TEST(PerfectSplit, StopRequestsAndBudgetsTooSmallAreReported) {
  const GoldenPerfect& c = Cases[0];
  PerfectControl control;
  int polls = 0;
  control.stopRequested = [&] { return ++polls > 5; };
  control.threads = 1;
  EXPECT_EQ(evaluatePerfectSplit(Shoe(1), c.removed, 8, c.rules, {3, false}, control).run, PerfectRun::Cancelled);

  control = PerfectControl();
  control.memoryBudget = 1 << 20;
  const PerfectResults small = evaluatePerfectSplit(Shoe(1), c.removed, 8, c.rules, {3, false}, control);
  EXPECT_EQ(small.run, PerfectRun::TooLarge);
  EXPECT_GT(small.estimatedBytes, control.memoryBudget);

  // Hands outside 2..4 and a pair that cannot be dealt are refused.
  control = PerfectControl();
  EXPECT_EQ(evaluatePerfectSplit(Shoe(1), c.removed, 8, c.rules, {5, false}, control).run, PerfectRun::Refused);
  EXPECT_EQ(evaluatePerfectSplit(Shoe(1), {0, 0, 0, 0, 0, 0, 0, 3, 0, 0}, 8, c.rules, {3, false}, control).run,
            PerfectRun::Refused);
}

}  // namespace
