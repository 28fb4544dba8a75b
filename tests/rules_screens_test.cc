#include <gtest/gtest.h>

#include <string>

#include "front/screens.h"
#include "tests/scripted_console.h"

namespace {

const std::string Footer =
    "\n\nPlease make a choice.\nPress enter to keep the choice that is marked.";

// The editor's screens with the default rules (screen 6 is skipped), then
// the listing.
const std::string DefaultChain =
    "Setting rules.....\nDealer soft standing number"
    "\n\nX\t0 Dealer stands on soft 17\n\t1 Dealer hits soft 17" +
    Footer +
    "Setting rules.....\nDoubling restrictions"
    "\n\nX\t0 double on any 2 cards\n\t1 double on hard totals of 10 or 11"
    "\n\t2 double on hard totals of 9, 10, or 11"
    "\n\t3 double on hard totals of 10 or 11 and any soft total"
    "\n\t4 double on hard totals of 9, 10, or 11 and any soft total"
    "\n\t5 double only any hard total only\n\t6 no doubling allowed at all" +
    Footer +
    "Setting rules.....\nLoss to dealer blackjack"
    "\n\nX\t0 Player loses orginal bet only to dealer blackjack (full peek)"
    "\n\t1 Player loses all to dealer blackjack (no peek - ENHC)" +
    Footer +
    "Setting rules.....\nDoubling after splitting pairs 2-10"
    "\n\n\t0 (DAS) Doubling after splitting pairs 2-10 is allowed"
    "\nX\t1 (NDAS) Doubling after splitting pairs 2-10 is not allowed" +
    Footer +
    "Setting rules.....\nAllow hitting of split aces\n\n\t0 (HSA) Hitting split aces is allowed"
    "\nX\t1 (no HSA - 1 card to split ace) Hitting split aces is not allowed" +
    Footer +
    "Setting rules.....\nAutomatic winners"
    "\n\n\t0 (5 card charlie) Player hand of 5 cards wins automatically"
    "\n\t1 (6 card charlie) Player hand of 6 cards wins automatically"
    "\nX\t2 No player hand is an automatic winner" +
    Footer +
    "Setting rules.....\nDoubling on any number of cards"
    "\n\n\t0 (DAN) Doubling on any number of cards is allowed"
    "\nX\t1 (no DAN) Doubling on more than 2 cards is not allowed" +
    Footer;

const std::string DefaultListing =
    "Current Rules\n\n\tbjOdds:  1.5\n\tDealer stands on soft 17\n\tDouble on any 2 cards"
    "\n\tLose only original bet to dealer blackjack (full peek)"
    "\n\tNo surrender versus up card of ace\n\tNo surrender versus up card of ten"
    "\n\tNo surrender allowed versus up cards 2 through 9"
    "\n\tMaximum splits allowed for pairs 2 through 10:  1"
    "\n\tMaximum splits allowed for a pair of aces:  1"
    "\n\tNo doubling after splitting is allowed\n\tHitting split aces is not allowed"
    "\n\tDoubling after splitting aces is not allowed\n\tNo player hand is an automatic winner"
    "\n\tPlayer may not double on more than 2 cards\n\nPress any key to continue";

const std::string DspaTitle = "\nAllow doubling after splitting aces";

struct EditorVisit {
  RuleSet rules;
  bool changed;
  std::string text;
  int clears;
};

EditorVisit edit(RuleSet rules, const std::string& keys, bool changed = false) {
  ScriptedConsole console(keys);
  editRules(console, rules, changed);
  EXPECT_TRUE(console.keysUsedUp()) << "the editor left keys unread";
  return {rules, changed, console.text(), console.clearCount};
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string listing(const RuleSet& rules) {
  ScriptedConsole console("\x01");
  listRules(console, rules);
  EXPECT_TRUE(console.keysUsedUp());
  return console.text();
}

TEST(RulesListing, EveryText) {
  EXPECT_EQ(listing(RuleSet{}), DefaultListing);

  RuleSet rules;
  rules.bjOdds = 1.2;
  rules.standsOnSoft17 = false;
  rules.dealerBjRule = DealerBjRule::NoPeek;
  rules.surrenderVsAce = SurrenderRule::LateSurrender;
  rules.surrenderVsTen = SurrenderRule::EarlySurrender;
  rules.surrenderVs2to9 = true;
  rules.maxSplits = 3;
  rules.maxSplitsAces = -2;
  rules.das = rules.hsa = rules.dspa = rules.dan = rules.charlie6 = true;
  const char* const doubleLines[] = {"\n\tDouble on any 2 cards",
                                     "\n\tDouble on hard 10 or 11 only",
                                     "\n\tDouble on hard 9, 10, or 11 only",
                                     "\n\tDouble on hard 10 or 11 or any soft hand",
                                     "\n\tDouble on hard 9, 10, or 11 or any soft hand",
                                     "\n\tDouble only on any hard hand",
                                     "\n\tNo doubliang at all is allowed"};
  for (int value = 0; value < 7; ++value) {
    rules.doubleRule = static_cast<DoubleRule>(value);
    EXPECT_EQ(
        listing(rules),
        "Current Rules\n\n\tbjOdds:  1.2\n\tDealer hits soft 17" + std::string(doubleLines[value]) +
            "\n\tLose all splits and doubles to dealer blackjack (no peek)"
            "\n\tLate surrender versus up card of ace\n\tEarly surrender versus up card of ten"
            "\n\tSurrender allowed versus up cards 2 through 9"
            "\n\tMaximum splits allowed for pairs 2 through 10:  3"
            "\n\tMaximum splits allowed for a pair of aces:  -2"
            "\n\tDoubling after splitting is allowed\n\tHitting split aces is allowed"
            "\n\tDoubling after splitting aces is allowed"
            "\n\tSix card player hand is an automatic winner"
            "\n\tPlayer may double on any number of cards\n\nPress any key to continue");
  }
  rules.charlie5 = true;
  EXPECT_TRUE(contains(listing(rules), "\n\tFive card player hand is an automatic winner\n"));
}

TEST(RulesListing, OutOfRangeValuesPrintNothing) {
  std::string expected = DefaultListing;
  for (const std::string line :
       {"\n\tDouble on any 2 cards", "\n\tNo surrender versus up card of ace",
        "\n\tNo surrender versus up card of ten"}) {
    expected.erase(expected.find(line), line.size());
  }
  for (const int value : {-1, 3, 7}) {
    RuleSet rules;
    rules.doubleRule = static_cast<DoubleRule>(value == 3 ? 7 : value);
    rules.surrenderVsAce = static_cast<SurrenderRule>(value);
    rules.surrenderVsTen = static_cast<SurrenderRule>(value);
    EXPECT_EQ(listing(rules), expected) << value;
  }
}

TEST(RulesEditor, DefaultsMarksSkipDspaAndEndWithListing) {
  // Seven Enters, then the listing's key.
  const EditorVisit visit = edit(RuleSet{}, "\n\n\n\n\n\n\nk");
  EXPECT_EQ(visit.text, DefaultChain + DefaultListing);
  EXPECT_EQ(visit.clears, 8);
  EXPECT_FALSE(visit.changed);
  EXPECT_EQ(listing(visit.rules), DefaultListing);
}

TEST(RulesEditor, ChoiceKeysMoveTheMarkOtherKeysDoNothing) {
  // Screen 1: 1 then 0, with letters, an out-of-range digit and an arrow
  // between them; screen 2: 7 is out of range, 4 is not.
  const EditorVisit visit = edit(RuleSet{},
                                 "1z5\x01"
                                 "0\n"
                                 "7\x01"
                                 "4\n"
                                 "\n\n\n\n\n"
                                 "k");
  const std::string screen1 = DefaultChain.substr(0, DefaultChain.find(Footer) + Footer.size());
  std::string hitsMarked = screen1;
  hitsMarked.replace(hitsMarked.find("X\t0"), 3, "\t0").replace(hitsMarked.find("\t1"), 2, "X\t1");
  EXPECT_EQ(visit.text.substr(0, 3 * screen1.size()), screen1 + hitsMarked + screen1);
  EXPECT_TRUE(contains(visit.text,
                       "\n\t3 double on hard totals of 10 or 11 and any soft total"
                       "\nX\t4 double on hard totals of 9, 10, or 11 and any soft total"));
  EXPECT_EQ(visit.clears, 8 + 3);
  EXPECT_EQ(visit.rules.doubleRule, DoubleRule::Hard9to11AndSoft);
  // Soft 17 switched away and back: no change.
  EXPECT_TRUE(visit.rules.standsOnSoft17);
  EXPECT_FALSE(visit.changed);
}

TEST(RulesEditor, Soft17FlagFollowsTheValueAtTheEnd) {
  EditorVisit visit = edit(RuleSet{}, "1\n\n\n\n\n\n\nk");
  EXPECT_FALSE(visit.rules.standsOnSoft17);
  EXPECT_TRUE(visit.changed);
  EXPECT_TRUE(contains(visit.text, "\n\tDealer hits soft 17"));

  visit = edit(visit.rules, "0\n\n\n\n\n\n\nk");
  EXPECT_TRUE(visit.rules.standsOnSoft17);
  EXPECT_TRUE(visit.changed);

  // Set by the editor, never cleared by it.
  EXPECT_TRUE(edit(RuleSet{}, "\n\n\n\n\n\n\nk", true).changed);
}

TEST(RulesEditor, NoPeekIsStoredAsTwo) {
  const EditorVisit visit = edit(RuleSet{}, "\n\n1\n\n\n\n\nk");
  EXPECT_EQ(static_cast<int>(visit.rules.dealerBjRule), 2);
  EXPECT_TRUE(contains(visit.text,
                       "\n\n\t0 Player loses orginal bet only to dealer blackjack (full peek)"
                       "\nX\t1 Player loses all to dealer blackjack (no peek - ENHC)"));
  EXPECT_EQ(edit(visit.rules, "\n\n0\n\n\n\n\nk").rules.dealerBjRule, DealerBjRule::FullPeek);
}

TEST(RulesEditor, DspaScreenOnlyWithDasAndHsa) {
  // DAS and HSA on: screen 6 appears, and 0 moves its mark.
  EditorVisit visit = edit(RuleSet{}, "\n\n\n0\n0\n0\n\n\nk");
  EXPECT_TRUE(visit.rules.das && visit.rules.hsa && visit.rules.dspa);
  EXPECT_EQ(visit.clears, 9 + 3);
  EXPECT_TRUE(contains(visit.text, "Setting rules....." + DspaTitle +
                                       "\n\n\t0 Doubling after splitting aces is allowed"
                                       "\nX\t1 Doubling after splitting aces is not allowed" +
                                       Footer + "Setting rules....." + DspaTitle +
                                       "\n\nX\t0 Doubling after splitting aces is allowed"
                                       "\n\t1 Doubling after splitting aces is not allowed" +
                                       Footer));
  const RuleSet all = visit.rules;
  // Kept while both stay on.
  EXPECT_TRUE(edit(all, "\n\n\n\n\n\n\n\nk").rules.dspa);

  // A later run turning HSA off, or DAS off, skips the screen and clears DSpA.
  for (const std::string keys : {"\n\n\n\n1\n\n\nk", "\n\n\n1\n\n\n\nk"}) {
    visit = edit(all, keys);
    EXPECT_NE(visit.rules.das, visit.rules.hsa);
    EXPECT_FALSE(visit.rules.dspa);
    EXPECT_FALSE(contains(visit.text, DspaTitle));
    EXPECT_TRUE(contains(visit.text, "\n\tDoubling after splitting aces is not allowed"));
  }
}

TEST(RulesEditor, CharlieRulesExcludeEachOther) {
  RuleSet five;
  five.charlie5 = true;
  // Screen 7: 1, then 2, then 0 again.
  EditorVisit visit = edit(five,
                           "\n\n\n\n\n"
                           "120\n"
                           "\nk");
  const std::string c5 = "0 (5 card charlie) Player hand of 5 cards wins automatically";
  const std::string c6 = "1 (6 card charlie) Player hand of 6 cards wins automatically";
  const std::string none = "2 No player hand is an automatic winner";
  const std::string title = "Setting rules.....\nAutomatic winners";
  EXPECT_TRUE(contains(visit.text, title + "\n\nX\t" + c5 + "\n\t" + c6 + "\n\t" + none + Footer +
                                       title + "\n\n\t" + c5 + "\nX\t" + c6 + "\n\t" + none +
                                       Footer + title + "\n\n\t" + c5 + "\n\t" + c6 + "\nX\t" +
                                       none + Footer + title + "\n\nX\t" + c5 + "\n\t" + c6 +
                                       "\n\t" + none + Footer));
  EXPECT_TRUE(visit.rules.charlie5 && !visit.rules.charlie6);

  visit = edit(five, "\n\n\n\n\n1\n\nk");
  EXPECT_TRUE(!visit.rules.charlie5 && visit.rules.charlie6);
  visit = edit(visit.rules, "\n\n\n\n\n2\n\nk");
  EXPECT_TRUE(!visit.rules.charlie5 && !visit.rules.charlie6);
}

}  // namespace
