// The split with resplits under perfect play, as a dynamic programme over
// the cards the player has drawn since the split.
//
// Why a state needs so little. The dealer draws after every player card,
// and the cards come as from an urn: whatever rule the player follows to
// draw, the cards after his last one are distributed as the cards of the
// shoe as it stood when any earlier hand ended. So each hand's result can
// be valued, in expectation, against the dealer drawing from the shoe at
// the moment that hand ends, and added in then. What is left to know about
// the future is the multiset D of cards drawn since the split (it fixes the
// shoe), the class of the hand being played (hard total, softness, card
// count class: the doubling, DAN, charlie and split-ace rules need no
// more), how many lone pair cards wait their turn (w) and how many more
// resplits the table allows (r). Two kinds of state:
//
//   Start(D, w, r): the current hand is a lone pair card P and takes a card
//     c. When c is P, r > 0 and P is not an ace or aces may be resplit, the
//     player chooses between resplitting, Start(D+P, w+1, r-1), and playing
//     the hand {P, P}; otherwise he plays {P, c}.
//   Play(D, h, w, r): the current hand of class h stands, hits or doubles.
//     A hand that ends adds its value against the shoe S0 - D and play
//     goes on at Next(D, w, r) = Start(D, w-1, r), or 0 when w = 0.
//
// The first hand starts at Start({}, 1, hands - 2). A Start state needs
// only states one card deeper; a Play state needs those and Start states
// of its own D. So states are grouped by D, the groups by level |D|, and
// the levels are valued deepest first, two of them alive at a time.
//
// Values are per entry: entry 0 before the up card is known (the dealer's
// up card comes after the player's cards), entry u with one card u out of
// the shoe and known. One dealer record per D serves every entry.
//
// Dealer blackjack under full peek. The dealer record charges every hand
// one bet for a dealer blackjack, and a round costs the player one bet
// however many hands it has; the split's values charge both first hands.
// A resplit adds a hand and so one more charge, of expected size the
// blackjack chance at the moment of the resplit (the chance a later shoe
// gives has that expectation, whatever the player does meanwhile): the
// resplit's value gets it back, and the results keep the split's
// convention of two charged bets.
//
// With two hands no resplit is possible and every value is computed with
// the operations, in the order, of the joint split (the first hand's
// values as SplitCalculator::computeJoint forms them, the last hand's as
// the second-hand memo does), so the results are the joint split's bits.
#include "split/perfect_split.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cstring>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "base/parallel.h"
#include "base/vector_level.h"
#include "dealer/dealer_outcome.h"
#include "dealer/dealer_walk.h"
#include "split/hand_rules.h"
#include "split/split_views.h"

// Stand value positions of a dealer record, then its blackjack chances.
constexpr int RecordRows = StandCount + 1;
// The layout of a key of per-rank counts, each at most most[r]: as many
// bits per rank as its largest count needs, tens in the lowest bits and
// aces in the highest. The bits it takes.
static int packCounts(const std::array<std::int64_t, RankCount>& most, std::array<int, RankCount>& offset,
                      std::array<std::uint64_t, RankCount>& mask) {
  int used = 0;
  for (int r = RankCount; r >= 1; --r) {
    const auto largest = static_cast<std::uint64_t>(std::max<std::int64_t>(most[rankIndex(r)], 0));
    const int width = std::max(1, static_cast<int>(std::bit_width(largest)));
    offset[rankIndex(r)] = used;
    mask[rankIndex(r)] = (std::uint64_t{1} << width) - 1;
    used += width;
  }
  return used;
}

namespace {

// Unwinds a computation that was asked to stop.
struct StopRequested {};
// Unwinds a computation that will not fit the memory budget.
struct BudgetExceeded {
  std::size_t bytes;
};

// A pass over all eleven entries, when the budget allows, pads each row of
// values and of a dealer record to this many, which its lane loops run as
// whole vectors; the padding is zero and never read as a result.
constexpr std::size_t PaddedLanes = 12;

// Twelve-lane rows as a vector of eight and one of four (GCC's vector
// extensions), for the hottest lane loops of a pass over every entry: the
// same IEEE operations, lane by lane, as the plain loops, in fewer
// instructions than the compiler finds on its own.
typedef double RowHead __attribute__((vector_size(64)));
typedef double RowTail __attribute__((vector_size(32)));
typedef std::int64_t RowHeadMask __attribute__((vector_size(64)));
typedef std::int64_t RowTailMask __attribute__((vector_size(32)));
// A row in two vectors, read from and written to memory by copies (no
// alignment asked).
template <typename Head, typename Tail, typename Lane>
struct RowVectors {
  Head head;
  Tail tail;
  [[gnu::always_inline]] void load(const Lane* from) {
    std::memcpy(&head, from, sizeof head);
    std::memcpy(&tail, from + 8, sizeof tail);
  }
  [[gnu::always_inline]] void store(Lane* to) const {
    std::memcpy(to, &head, sizeof head);
    std::memcpy(to + 8, &tail, sizeof tail);
  }
};
using Row = RowVectors<RowHead, RowTail, double>;
using RowMask = RowVectors<RowHeadMask, RowTailMask, std::int64_t>;

// acc += p * v over a row.
[[gnu::always_inline]] inline void rowAddProduct(double* acc, const double* p, const double* v) {
  Row a, x, y;
  a.load(acc);
  x.load(p);
  y.load(v);
  a.head += x.head * y.head;
  a.tail += x.tail * y.tail;
  a.store(acc);
}
// acc += p * (2 stand (+ blackjack under peek)): a double that stands on its card.
[[gnu::always_inline]] inline void rowAddDoubled(double* acc, const double* p, const double* stand, const double* blackjack,
                                                 bool peek) {
  Row a, x, y, z;
  a.load(acc);
  x.load(p);
  y.load(stand);
  if (peek) {
    z.load(blackjack);
    a.head += x.head * (2.0 * y.head + z.head);
    a.tail += x.tail * (2.0 * y.tail + z.tail);
  } else {
    a.head += x.head * (2.0 * y.head);
    a.tail += x.tail * (2.0 * y.tail);
  }
  a.store(acc);
}
// out = dealt ? chooseAction(stand, doubled, hit, mayDouble).value : 0 over
// a row, dealt holding -1 or 0 per lane: the last hand's value.
[[gnu::always_inline]] inline void rowChoose(double* out, const double* stand, const double* doubled, const double* hit,
                                             bool mayDouble, const std::int64_t* dealt) {
  Row a, x;
  a.load(stand);
  if (mayDouble) {
    x.load(doubled);
    a.head = a.head < x.head ? x.head : a.head;
    a.tail = a.tail < x.tail ? x.tail : a.tail;
  }
  x.load(hit);
  a.head = a.head < x.head ? x.head : a.head;
  a.tail = a.tail < x.tail ? x.tail : a.tail;
  RowMask m;
  m.load(dealt);
  const Row zero = {};
  a.head = m.head ? a.head : zero.head;
  a.tail = m.tail ? a.tail : zero.tail;
  a.store(out);
}

// The bits set in n words, and before each word those of the words before
// it when `before` is given: in one instruction per word where the machine
// has it (the plain x86-64 build has none).
[[gnu::always_inline]] inline std::size_t countBitsBody(const std::uint64_t* words, std::size_t n, std::uint16_t* before) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (before != nullptr) before[i] = static_cast<std::uint16_t>(count);
    count += static_cast<std::size_t>(std::popcount(words[i]));
  }
  return count;
}
#if SPLITEV_LEVEL_DISPATCH
SPLITEV_TARGET_V3 std::size_t countBitsV3(const std::uint64_t* words, std::size_t n, std::uint16_t* before) {
  return countBitsBody(words, n, before);
}
#endif
std::size_t countBits(const std::uint64_t* words, std::size_t n, std::uint16_t* before = nullptr) {
#if SPLITEV_LEVEL_DISPATCH
  if (vectorLevel() >= 3) return countBitsV3(words, n, before);
#endif
  return countBitsBody(words, n, before);
}

// Groups are handed to the threads in runs of this many.
constexpr std::size_t GroupsPerTask = 64;

// Hand classes at most: totals 2 to 21 (soft too up to 11) for 2 to 6 cards.
constexpr int MaxClasses = 5 * 30;
// Start states of a group at most: w in 0..3 hands waiting, r in 0..2 resplits left.
constexpr int MaxPhases = 4 * 3;
// Words of a group's bit set of state codes at most.
constexpr int MaxWords = (MaxPhases * (1 + MaxClasses) + 63) / 64;

// The rules with the split limits of the resplit rules: hands - 1 splits,
// of aces only one unless they may be resplit.
RuleSet withSplitLimits(const RuleSet& rules, const ResplitRules& resplit) {
  RuleSet limited = rules;
  limited.maxSplits = static_cast<std::int16_t>(resplit.hands - 1);
  limited.maxSplitsAces = static_cast<std::int16_t>(resplit.resplitAces ? resplit.hands - 1 : 1);
  return limited;
}

class PerfectSolver {
 public:
  PerfectSolver(const ShoeCounts& afterPair, const ShoeCounts& takenOut, const RuleSet& rules, Rank pair,
                const ResplitRules& resplit, const PerfectControl& control);

  // Finds every state the first hand's lone pair card reaches, level by
  // level, from the deepest level still held (after a pass that kept
  // levels 0..keep) or from the start; throws BudgetExceeded when the
  // states alone pass the budget.
  void build();

  // The most bytes a pass with `lanes` entries holds at once: the states
  // of the levels not yet valued (and of levels 0..keep, kept for the next
  // pass) and the values, records and lookup tables of two levels.
  std::size_t peakBytes(int lanes, std::size_t keep) const;
  // Values per row with `lanes` entries: all eleven padded, unless padRows(false).
  std::size_t strideFor(std::size_t lanes) const { return padded && lanes == 11 ? PaddedLanes : lanes; }
  void padRows(bool pad) { padded = pad; }
  std::size_t levelCount() const { return levels.size(); }

  // Values every state for the given entries; the root's value per entry.
  // Lets each level deeper than keep go once it has been read: build()
  // again before another pass.
  void evaluate(const std::vector<int>& entries, std::size_t keep, std::array<double, 11>& rootValue);

  std::size_t stateCount() const;
  // The passes the values take, for the share of the work done.
  void setPasses(std::size_t passes) { passCount = std::max<std::size_t>(passes, 1); }
  // Dealer shoes played against so far (once per pass).
  std::size_t dealerShoeCount() const { return shoesWalked; }
  bool complete() const { return !incomplete.load(); }

 private:
  // The groups of one level, ascending by D, and their states. Kept from
  // the search until the level above has been valued: D, where each
  // group's states start and the state codes, ascending within a group
  // (about 2 bytes a state). The lookup tables, the states as bit sets for
  // a state's number in one step, exist only while the level above is
  // valued; the links to the groups one card deeper are found as needed.
  struct Level {
    std::vector<std::uint64_t> keys;       // D per group, ascending
    std::vector<std::uint32_t> base;       // per group and one more: its first state's number within the level
    std::vector<std::uint16_t> codes;      // per state: its code
    std::vector<std::uint64_t> bits;       // words per group: the state codes present
    std::vector<std::uint16_t> wordBase;   // words per group: states in the group's earlier words
    std::size_t states = 0;
    std::size_t groups() const { return keys.size(); }
    std::size_t bytes() const { return keys.capacity() * 8 + base.capacity() * 4 + codes.capacity() * 2; }
  };
  // Bytes of a level's lookup tables.
  std::size_t lookupBytes(std::size_t groups) const { return groups * static_cast<std::size_t>(words) * 10; }
  // Dealer values of one level's groups for the entries of a pass: per
  // group RecordRows rows of `lanes` values (stand on 17..21, on 16 or
  // less, then the blackjack chance).
  struct Records {
    double* values = nullptr;  // within a buffer the two levels share
    std::size_t stride = 0;  // values per row (strideFor the pass's entries)
    const double* of(std::size_t g) const { return values + g * RecordRows * stride; }
  };

  // State codes: Start(w, r) below phases; Play(w, r, class) above.
  int startCode(int w, int r) const { return w * resplitsRange + r; }
  int playCode(int w, int r, int cls) const { return phases + (w * resplitsRange + r) * classCount + cls; }
  bool isStart(int code) const { return code < phases; }

  int countIn(std::uint64_t key, int rank) const {
    return static_cast<int>((key >> offset[rankIndex(rank)]) & mask[rankIndex(rank)]);
  }
  // Resplits that can still happen: none once the pair cards are gone.
  int resplitsLeft(int r, int pairCardsLeft) const { return std::min(r, pairCardsLeft); }
  int pairCardsLeft(std::uint64_t key) const { return afterPair[rankIndex(pair)] - countIn(key, pair); }

  // A part of the next level while it is searched: its groups ascending,
  // each with its states as a bit set.
  struct Found {
    std::vector<std::uint64_t> keys;
    std::vector<std::uint64_t> bits;
  };
  void addState(Found& level, std::size_t g, int code) const {
    level.bits[g * words + static_cast<std::size_t>(code / 64)] |= std::uint64_t{1} << (code % 64);
  }
  void addStart(Found& level, std::size_t g, int w, int r) const {
    addState(level, g, startCode(w, resplitsLeft(r, pairCardsLeft(level.keys[g]))));
  }
  // The found level (its parts disjoint, ascending and in order) as a
  // Level: groups by D, states listed.
  Level settle(std::vector<Found>& parts) const;
  // Builds the lookup tables of level k, read while the level above is valued.
  void openLevel(std::size_t k);
  // The groups one card deeper of the groups first..end-1 of level k: RankCount per group, -1 where none.
  void linksOf(std::size_t k, std::size_t first, std::size_t end, std::int32_t* links) const;

  void checkBudget() const;
  // Bytes the scratch holds from earlier computations.
  std::size_t lent() const { return control.scratch != nullptr ? control.scratch->bytes() : 0; }
  void pollStop() const {
    if (control.stopRequested && control.stopRequested()) throw StopRequested{};
  }
  void report(std::string_view phase, double share) const;
  // The share of the whole computation done when the search is that far
  // into level k: the search counts for SearchShare, spread over the
  // levels up to the deepest the cards allow.
  double searchShare(std::size_t k, double withinLevel) const {
    return SearchShare * std::min(1.0, (static_cast<double>(k) + withinLevel) / static_cast<double>(deepestLevel));
  }
  static constexpr double SearchShare = 0.15;

  ShoeCounts shoeOf(std::uint64_t key) const;
  // Walks the records of level k's played groups.
  void fillRecords(std::size_t k, const std::vector<int>& entries, Records& records);
  void evaluateGroup(std::size_t k, std::size_t g, const std::vector<int>& entries, const Records& here,
                     const Records* below, const double* belowValues, const std::int32_t* links, double* values,
                     bool& complete) const;
  template <std::size_t FixedLanes>
  void evaluateGroupV4(std::size_t k, std::size_t g, const std::vector<int>& entries, const Records& here,
                       const Records* below, const double* belowValues, const std::int32_t* links, double* values,
                       bool& complete) const;
  template <std::size_t FixedLanes>
  void evaluateGroupV3(std::size_t k, std::size_t g, const std::vector<int>& entries, const Records& here,
                       const Records* below, const double* belowValues, const std::int32_t* links, double* values,
                       bool& complete) const;
  template <std::size_t FixedLanes>
  void evaluateGroupV1(std::size_t k, std::size_t g, const std::vector<int>& entries, const Records& here,
                       const Records* below, const double* belowValues, const std::int32_t* links, double* values,
                       bool& complete) const;

  ShoeCounts afterPair;
  ShoeCounts takenOutAfterPair;
  RuleSet rules;
  Rank pair;
  ResplitRules resplit;
  const PerfectControl& control;
  HandRules play;     // the split hands' rules, resplit limits included
  int firstResplits;  // resplits the rules allow once the pair is split
  int maxClass;       // card counts from here on are alike

  std::array<int, RankCount> offset{};
  std::array<std::uint64_t, RankCount> mask{};

  // Hand classes of a hand of two cards or more.
  int classCount = 0;
  std::vector<int> classTotal;
  std::vector<bool> classSoft;
  std::vector<int> classCards;
  std::vector<std::array<int, RankCount>> classAfter;  // class after a card, -1 on a bust
  std::vector<bool> classMayDouble;
  std::vector<bool> classMayDraw;     // hit or double: not a split ace that has its card
  std::vector<bool> classMustStand;   // the last hand's only choice: also hard 21
  std::vector<int> classStandRow;     // HandRules::standRow
  std::array<int, RankCount> twoCardClass{};           // {P, c}

  int resplitsRange = 1;  // r runs 0..hands-2
  int phases = 0;
  int codeCount = 0;
  int words = 0;
  // The search's successors, worked out once: for each limit on resplits
  // (the pair cards left allow 0..resplitsRange-1), card and code, the codes
  // of the states one card deeper, up to three, and noCode for none. A
  // table read without branches: whether a state stands, draws or busts is
  // hard to predict, state by state.
  static constexpr int MostSuccessors = 3;
  std::vector<std::array<std::uint16_t, MostSuccessors>> successorCodes;
  std::size_t successorsAt(int cap, int card) const {
    const int limit = std::min(cap, resplitsRange - 1);
    return static_cast<std::size_t>((limit * RankCount + rankIndex(card)) * codeCount);
  }
  const std::array<std::uint16_t, MostSuccessors>* successorsOf(int cap, int card) const {
    return successorCodes.data() + successorsAt(cap, card);
  }
  int noCode = 0;  // a bit past a group's words
  // The last hand's Play states alone, per card and class: the code one
  // card deeper, all within the first three words, or a code past them for
  // none.
  std::vector<std::uint16_t> lastHandSuccessors;

  std::vector<Level> levels;
  std::size_t structure = 0;
  std::atomic<bool> incomplete{false};
  std::size_t statesTotal = 0;
  std::size_t shoesWalked = 0;
  mutable std::atomic<std::size_t> statesDone{0};
  std::size_t passCount = 1;
  bool padded = true;
  int deepestLevel = 1;  // no D holds more cards
  bool searchedBefore = false;  // a later pass's search: the share done stays
  std::thread::id mainThread = std::this_thread::get_id();
  mutable std::chrono::steady_clock::time_point lastReport{};
};

PerfectSolver::PerfectSolver(const ShoeCounts& afterPairCounts, const ShoeCounts& takenOut, const RuleSet& ruleSet,
                             Rank pairRank, const ResplitRules& resplitRules, const PerfectControl& perfectControl)
    : afterPair(afterPairCounts),
      takenOutAfterPair(takenOut),
      rules(ruleSet),
      pair(pairRank),
      resplit(resplitRules),
      control(perfectControl),
      play(withSplitLimits(ruleSet, resplitRules), pairRank),
      firstResplits(0),
      maxClass(play.alikeFromCards()) {
  // r, the resplits left, counts the splits maySplitAgain still allows.
  while (firstResplits < resplit.hands - 2 && play.maySplitAgain(1 + firstResplits)) ++firstResplits;
  // D packed in 64 bits: per rank as many bits as the most cards of it all
  // the hands can draw (each at most 21 points before its last card, plus
  // the resplit pair cards), or the shoe holds. Tens take the lowest bits
  // and aces the highest: the groups are sorted by D, and a level reads
  // the one below it in this order with fewer cache misses (about 5% less
  // time over the whole valuation) than with aces lowest.
  std::array<std::int64_t, RankCount> most{};
  for (int r = 1; r <= RankCount; ++r)
    most[rankIndex(r)] = std::min<std::int64_t>(afterPair[rankIndex(r)], std::int64_t{resplit.hands} * (20 / r + 1) + (resplit.hands - 2));
  if (packCounts(most, offset, mask) > 64) throw std::logic_error("perfect split: a drawn-card key needs more than 64 bits");

  int index[22][2][7];
  for (auto& a : index)
    for (auto& b : a)
      for (int& c : b) c = -1;
  for (int cards = 2; cards <= maxClass; ++cards) {
    for (int total = 2; total <= 21; ++total) {
      for (int soft = 0; soft <= (total <= 11 ? 1 : 0); ++soft) {
        index[total][soft][cards] = classCount++;
        classTotal.push_back(total);
        classSoft.push_back(soft == 1);
        classCards.push_back(cards);
        const HandShape shape{total, soft == 1, cards};
        classMayDouble.push_back(play.mayDouble(shape));
        classMayDraw.push_back(play.mayDraw(shape));
        classMustStand.push_back(play.mustStand(shape));
        classStandRow.push_back(play.standRow(shape));
      }
    }
  }
  if (classCount > MaxClasses) throw std::logic_error("perfect split: more hand classes than MaxClasses");
  classAfter.resize(static_cast<std::size_t>(classCount));
  auto classOf = [&](const HandShape& h) { return h.total > 21 ? -1 : index[h.total][h.soft ? 1 : 0][h.cards]; };
  for (int cls = 0; cls < classCount; ++cls) {
    const std::size_t i = static_cast<std::size_t>(cls);
    const HandShape shape{classTotal[i], classSoft[i], classCards[i]};
    for (int c = 1; c <= RankCount; ++c) classAfter[i][rankIndex(c)] = classOf(afterCard(shape, c, maxClass));
  }
  for (int c = 1; c <= RankCount; ++c) twoCardClass[rankIndex(c)] = classOf(afterCard(play.splitCard(), c, maxClass));
  // The most cards the hands can draw: each takes the smallest cards left
  // until it passes 21, and every resplit draws a pair card.
  {
    ShoeCounts left = afterPair;
    int drawn = resplit.hands - 2;
    left[rankIndex(pair)] -= std::min(left[rankIndex(pair)], resplit.hands - 2);
    for (int hand = 0; hand < resplit.hands; ++hand) {
      int total = pair;
      for (int c = 1; c <= RankCount && total <= 21;) {
        if (left[rankIndex(c)] == 0) {
          ++c;
          continue;
        }
        --left[rankIndex(c)];
        total += c;
        ++drawn;
      }
    }
    deepestLevel = std::max(1, drawn);
  }
  resplitsRange = resplit.hands - 1;
  phases = resplit.hands * resplitsRange;
  codeCount = phases * (1 + classCount);
  words = (codeCount + 63) / 64;
  if (words > MaxWords) throw std::logic_error("perfect split: more state codes than MaxWords words");
  noCode = words * 64;
  successorCodes.assign(static_cast<std::size_t>(resplitsRange * RankCount * codeCount), {});
  for (int limit = 0; limit < resplitsRange; ++limit) {
    for (int c = 1; c <= RankCount; ++c) {
      for (int code = 0; code < codeCount; ++code) {
        std::array<std::uint16_t, MostSuccessors>& out = successorCodes[successorsAt(limit, c) + static_cast<std::size_t>(code)];
        out.fill(static_cast<std::uint16_t>(noCode));
        const int phase = isStart(code) ? code : (code - phases) / classCount;
        const int w = phase / resplitsRange;
        const int r = phase % resplitsRange;
        const int left = w == 0 ? 0 : std::min(r, limit);
        if (isStart(code)) {
          out[0] = static_cast<std::uint16_t>(playCode(w, left, twoCardClass[rankIndex(c)]));
          if (w > 0) out[1] = static_cast<std::uint16_t>(startCode(w - 1, left));
          if (c == pair && r > 0) out[2] = static_cast<std::uint16_t>(startCode(w + 1, std::min(r - 1, limit)));
          continue;
        }
        const auto cls = static_cast<std::size_t>((code - phases) % classCount);
        // The last hand on hard 21, or a split ace that has its card, stands.
        if (w == 0 ? classMustStand[cls] : !classMayDraw[cls]) continue;
        const int after = classAfter[cls][rankIndex(c)];
        if (after >= 0) out[0] = static_cast<std::uint16_t>(playCode(w, left, after));  // else the hand busts
        if (w > 0) out[1] = static_cast<std::uint16_t>(startCode(w - 1, left));
      }
    }
  }
  static_assert(MaxPhases + MaxClasses <= 3 * 64, "the last hand's Play codes lie within three words");
  lastHandSuccessors.assign(static_cast<std::size_t>(RankCount * classCount), 3 * 64);
  for (int c = 1; c <= RankCount; ++c) {
    for (int cls = 0; cls < classCount; ++cls) {
      const std::uint16_t next = successorsOf(0, c)[playCode(0, 0, cls)][0];
      if (next != noCode) lastHandSuccessors[static_cast<std::size_t>(rankIndex(c) * classCount + cls)] = next;
    }
  }
}

PerfectSolver::Level PerfectSolver::settle(std::vector<Found>& parts) const {
  // The parts hold disjoint runs of keys, ascending and in order: the level
  // is their concatenation, each part listed on a thread of its own.
  std::vector<std::size_t> groupsBefore(parts.size() + 1, 0);
  std::vector<std::size_t> statesBefore(parts.size() + 1, 0);
  for (std::size_t p = 0; p < parts.size(); ++p) {
    const std::size_t count = countBits(parts[p].bits.data(), parts[p].bits.size());
    groupsBefore[p + 1] = groupsBefore[p] + parts[p].keys.size();
    statesBefore[p + 1] = statesBefore[p] + count;
  }
  const std::size_t groups = groupsBefore.back();
  const std::size_t count = statesBefore.back();
  if (count > 0xffffffffu) throw std::length_error("perfect split: more states in one level than 2^32");
  Level level;
  level.keys.resize(groups);
  level.base.resize(groups + 1);
  level.codes.resize(count);
  parallelFor(control.threads, parts.size(), [&](std::size_t p) {
    const Found& found = parts[p];
    std::size_t at = statesBefore[p];
    for (std::size_t i = 0; i < found.keys.size(); ++i) {
      const std::size_t g = groupsBefore[p] + i;
      level.keys[g] = found.keys[i];
      level.base[g] = static_cast<std::uint32_t>(at);
      const std::uint64_t* b = found.bits.data() + i * static_cast<std::size_t>(words);
      for (int wd = 0; wd < words; ++wd)
        for (std::uint64_t set = b[wd]; set != 0; set &= set - 1)
          level.codes[at++] = static_cast<std::uint16_t>(wd * 64 + std::countr_zero(set));
    }
  });
  level.base[groups] = static_cast<std::uint32_t>(count);
  level.states = count;
  return level;
}

void PerfectSolver::openLevel(std::size_t k) {
  Level& level = levels[k];
  const std::size_t groups = level.groups();
  const auto wordCount = static_cast<std::size_t>(words);
  level.bits.assign(groups * wordCount, 0);
  level.wordBase.assign(groups * wordCount, 0);
  const std::size_t tasks = (groups + 4095) / 4096;
  parallelFor(control.threads, tasks, [&](std::size_t task) {
    const std::size_t end = std::min(groups, (task + 1) * 4096);
    for (std::size_t g = task * 4096; g < end; ++g) {
      std::uint64_t* b = level.bits.data() + g * wordCount;
      for (std::size_t i = level.base[g]; i < level.base[g + 1]; ++i) b[level.codes[i] / 64] |= std::uint64_t{1} << (level.codes[i] % 64);
      countBits(b, wordCount, level.wordBase.data() + g * wordCount);
    }
  });
}

void PerfectSolver::linksOf(std::size_t k, std::size_t first, std::size_t end, std::int32_t* links) const {
  const Level& level = levels[k];
  std::fill(links, links + (end - first) * RankCount, -1);
  if (k + 1 >= levels.size() || first >= end) return;
  // Both levels are sorted by D, so for each card the groups one card
  // deeper come in the same order as their parents: a merge finds them.
  const std::vector<std::uint64_t>& down = levels[k + 1].keys;
  for (int c = 1; c <= RankCount; ++c) {
    const std::uint64_t unit = std::uint64_t{1} << offset[rankIndex(c)];
    auto at = std::lower_bound(down.begin(), down.end(), level.keys[first] + unit);
    for (std::size_t g = first; g < end; ++g) {
      if (countIn(level.keys[g], c) >= afterPair[rankIndex(c)]) continue;  // no card c left: never drawn
      const std::uint64_t key = level.keys[g] + unit;
      while (at != down.end() && *at < key) ++at;
      if (at != down.end() && *at == key)
        links[(g - first) * RankCount + static_cast<std::size_t>(rankIndex(c))] = static_cast<std::int32_t>(at - down.begin());
    }
  }
}

void PerfectSolver::checkBudget() const {
  if (structure + lent() > control.memoryBudget) throw BudgetExceeded{structure + lent()};
}

void PerfectSolver::report(std::string_view phase, double share) const {
  if (!control.progress || std::this_thread::get_id() != mainThread) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - lastReport < std::chrono::milliseconds(100)) return;
  lastReport = now;
  control.progress(phase, std::clamp(share, 0.0, 1.0));
}

ShoeCounts PerfectSolver::shoeOf(std::uint64_t key) const {
  ShoeCounts n = afterPair;
  for (int r = 1; r <= RankCount; ++r) n[rankIndex(r)] -= countIn(key, r);
  return n;
}

void PerfectSolver::build() {
  // The levels a pass let go are empty; the search goes on from the last one held.
  std::size_t held = 0;
  while (held < levels.size() && !levels[held].keys.empty()) ++held;
  levels.resize(held);
  if (levels.empty()) {
    std::vector<Found> root(1);
    root[0].keys.push_back(0);
    root[0].bits.assign(static_cast<std::size_t>(words), 0);
    addStart(root[0], 0, 1, firstResplits);
    levels.push_back(settle(root));
  }
  std::uint64_t unit[RankCount];
  for (int r = 1; r <= RankCount; ++r) unit[rankIndex(r)] = std::uint64_t{1} << offset[rankIndex(r)];
  const auto workers = static_cast<std::size_t>(std::max(workerCount(control.threads), 1));

  for (std::size_t k = levels.size() - 1;; ++k) {
    const Level& level = levels[k];
    const std::vector<std::uint64_t>& keys = level.keys;
    const std::size_t groups = level.groups();
    // The groups one card deeper are D + c for the groups D of this level
    // that have a state drawing c. For each card those come in the order of
    // their parents, so a merge of the ten runs finds the next level's
    // groups in order, each once, without a table. The next level is cut
    // into parts by key, bounded by parent keys at even steps, and each part
    // is merged on a thread: the runs of a card start where D + c reaches
    // the part's lower bound.
    const std::size_t partCount = std::clamp<std::size_t>(groups / 2048, 1, 8 * workers);
    std::vector<std::uint64_t> bound(partCount);
    for (std::size_t p = 0; p < partCount; ++p) bound[p] = p == 0 ? 0 : keys[p * groups / partCount];
    std::vector<Found> parts(partCount);
    std::atomic<std::size_t> searchHeld{0};
    std::atomic<std::size_t> partsDone{0};
    // The first group at or after which D + c reaches key.
    auto firstReaching = [&](std::uint64_t key, int c) -> std::size_t {
      if (key <= unit[rankIndex(c)]) return 0;
      return static_cast<std::size_t>(std::lower_bound(keys.begin(), keys.end(), key - unit[rankIndex(c)]) - keys.begin());
    };
    parallelFor(control.threads, partCount, [&](std::size_t part) {
      Found& next = parts[part];
      const bool lastPart = part + 1 == partCount;
      // Per card, the run of parents whose D + c falls in this part.
      std::size_t at[RankCount];
      std::size_t end[RankCount];
      std::uint64_t head[RankCount];  // the run's next D + c, or ~0 once done
      // A parent with no card c left has no successor on c (nor has one
      // whose count of c fills its bits: no hand can draw more of them).
      auto skips = [&](std::size_t g, int c) {
        const int count = countIn(keys[g], c);
        return count >= afterPair[rankIndex(c)] || static_cast<std::uint64_t>(count) == mask[rankIndex(c)];
      };
      auto advance = [&](int c) {
        const int i = rankIndex(c);
        while (at[i] < end[i] && skips(at[i], c)) ++at[i];
        head[i] = at[i] < end[i] ? keys[at[i]] + unit[i] : ~std::uint64_t{0};
      };
      for (int c = 1; c <= RankCount; ++c) {
        const int i = rankIndex(c);
        at[i] = firstReaching(bound[part], c);
        end[i] = lastPart ? groups : firstReaching(bound[part + 1], c);
        advance(c);
      }
      std::size_t held = 0;  // this part's bytes counted in searchHeld
      std::uint64_t gather[MaxWords + 1];  // a group's states, and a word for noCode
      auto set = [](std::uint64_t* bits, int code) { bits[code / 64] |= std::uint64_t{1} << (code % 64); };
      for (std::size_t made = 0;; ++made) {
        if (made % 4096 == 0) {
          pollStop();
          const std::size_t bytes = next.keys.capacity() * 8 + next.bits.capacity() * 8;
          const std::size_t now = searchHeld.fetch_add(bytes - held) + bytes - held;
          held = bytes;
          if (structure + lent() + now > control.memoryBudget) throw BudgetExceeded{structure + lent() + now};
        }
        std::uint64_t key = ~std::uint64_t{0};
        for (std::uint64_t h : head) key = std::min(key, h);
        if (key == ~std::uint64_t{0}) break;
        next.keys.push_back(key);
        next.bits.resize(next.bits.size() + static_cast<std::size_t>(words), 0);
        std::uint64_t* bits = next.bits.data() + next.bits.size() - static_cast<std::size_t>(words);
        // Resplits the pair cards left allow at most.
        const int cap = pairCardsLeft(key);
        std::fill_n(gather, std::max(words + 1, 3), 0);
        for (int c = 1; c <= RankCount; ++c) {
          if (head[rankIndex(c)] != key) continue;
          const std::size_t g = at[rankIndex(c)];
          const std::array<std::uint16_t, MostSuccessors>* successors = successorsOf(cap, c);
          const std::uint16_t* codes = level.codes.data();
          std::size_t i = level.base[g];
          const std::size_t end = level.base[g + 1];
          // Codes ascend: the Start states, the last hand's Play states, the others.
          for (; i < end && codes[i] < phases; ++i)
            for (std::uint16_t code : successors[codes[i]]) set(gather, code);
          // The last hand's Play states, most of a group, have one
          // successor each (or none), within the first three words: they
          // gather in registers, since bits set in memory one after another
          // wait for each other's stores.
          const std::uint16_t* lastHand = lastHandSuccessors.data() + rankIndex(c) * classCount;
          std::uint64_t word0 = 0, word1 = 0, word2 = 0;
          for (; i < end && codes[i] < phases + classCount; ++i) {
            const unsigned code = lastHand[codes[i] - phases];
            const std::uint64_t bit = std::uint64_t{1} << (code % 64);
            const unsigned word = code / 64;
            word0 |= word == 0 ? bit : 0;
            word1 |= word == 1 ? bit : 0;
            word2 |= word == 2 ? bit : 0;
          }
          gather[0] |= word0;
          gather[1] |= word1;
          gather[2] |= word2;
          for (; i < end; ++i)
            for (std::uint16_t code : successors[codes[i]]) set(gather, code);
          ++at[rankIndex(c)];
          advance(c);
        }
        for (int wd = 0; wd < words; ++wd) bits[wd] = gather[wd];
        std::uint64_t any = 0;
        for (int wd = 0; wd < words; ++wd) any |= bits[wd];
        if (any == 0) {
          // Every state on the way here busted: no group.
          next.keys.pop_back();
          next.bits.resize(next.bits.size() - static_cast<std::size_t>(words));
        }
      }
      if (!searchedBefore)
        report("states", searchShare(k, static_cast<double>(partsDone.fetch_add(1) + 1) / static_cast<double>(partCount)));
    });
    std::size_t found = 0;
    std::size_t foundBits = 0;
    for (const Found& part : parts) {
      found += part.keys.size();
      foundBits += part.bits.size();
    }
    if (found == 0) break;
    // The parts, and the new level's keys and bases beside them.
    const std::size_t settling = structure + lent() + found * 8 + foundBits * 8 + found * 12;
    if (settling > control.memoryBudget) throw BudgetExceeded{settling};
    levels.push_back(settle(parts));
    structure = 0;
    for (const Level& l : levels) structure += l.bytes();
    checkBudget();
  }
  structure = 0;
  for (const Level& l : levels) structure += l.bytes();
  statesTotal = stateCount();
  searchedBefore = true;
}

std::size_t PerfectSolver::stateCount() const {
  std::size_t n = 0;
  for (const Level& l : levels) n += l.states;
  return n;
}

std::size_t PerfectSolver::peakBytes(int lanes, std::size_t keep) const {
  const std::size_t count = levels.size();
  std::vector<std::size_t> upTo(count + 1, 0);  // the states of levels 0..k-1
  std::size_t pairStates = 0;
  std::size_t pairGroups = 0;
  for (std::size_t k = 0; k < count; ++k) {
    upTo[k + 1] = upTo[k] + levels[k].bytes();
    const bool last = k + 1 == count;
    pairStates = std::max(pairStates, levels[k].states + (last ? 0 : levels[k + 1].states));
    pairGroups = std::max(pairGroups, levels[k].groups() + (last ? 0 : levels[k + 1].groups()));
  }
  // The shared buffers are touched as far as the largest level at an even
  // depth from their start and the largest at an odd depth from their end.
  std::size_t most = upTo[count];
  std::size_t states[2] = {0, 0};
  std::size_t groups[2] = {0, 0};
  const auto l = strideFor(static_cast<std::size_t>(lanes));
  for (std::size_t k = count; k-- > 0;) {
    states[k % 2] = std::max(states[k % 2], levels[k].states);
    groups[k % 2] = std::max(groups[k % 2], levels[k].groups());
    const std::size_t values = std::min(pairStates, states[0] + states[1]);
    const std::size_t records = std::min(pairGroups, groups[0] + groups[1]);
    const std::size_t lookups = k + 1 < count ? lookupBytes(levels[k + 1].groups()) : 0;
    most = std::max(most, upTo[std::min(count, std::max(k + 2, keep + 1))] +
                              (values + records * RecordRows) * l * sizeof(double) + lookups);
  }
  return most;
}

void PerfectSolver::fillRecords(std::size_t k, const std::vector<int>& entries, Records& records) {
  const Level& level = levels[k];
  const std::size_t lanes = entries.size();
  const std::size_t stride = strideFor(lanes);
  const std::size_t size = RecordRows * stride;
  records.stride = stride;
  // Only groups with a hand being played read their record (a group of lone
  // pair cards alone, after a hand busted, reads its successors').
  std::vector<std::uint32_t> played;
  for (std::size_t g = 0; g < level.groups(); ++g) {
    // Codes ascend and Play codes follow the Start codes.
    if (level.base[g + 1] > level.base[g] && !isStart(level.codes[level.base[g + 1] - 1]))
      played.push_back(static_cast<std::uint32_t>(g));
  }
  shoesWalked += played.size();

  const std::size_t groups = played.size();
  const std::size_t batches = (groups + WalkLanes - 1) / WalkLanes;
  std::atomic<bool> dealerIncomplete{false};
  parallelFor(control.threads, batches, [&](std::size_t batch) {
    if (batch % 64 == 0) pollStop();
    ShoeCounts shoes[WalkLanes] = {};
    DealerProbabilities probabilities[WalkLanes];
    const std::size_t begin = batch * WalkLanes;
    const int count = static_cast<int>(std::min<std::size_t>(WalkLanes, groups - begin));
    for (int s = 0; s < count; ++s) shoes[s] = shoeOf(level.keys[played[begin + static_cast<std::size_t>(s)]]);
    dealerProbabilitiesBatch(shoes, count, rules.standsOnSoft17, probabilities);
    for (int s = 0; s < count; ++s) {
      const DealerOutcome record(probabilities[s]);
      if (!record.complete) dealerIncomplete.store(true, std::memory_order_relaxed);
      double* out = records.values + played[begin + static_cast<std::size_t>(s)] * size;
      if (lanes == 11) {
        // Every entry, in order: whole rows at a time.
        for (int position = 0; position < StandCount; ++position) {
          double* row = out + static_cast<std::size_t>(position) * stride;
          std::memcpy(row, record.stand[position], sizeof record.stand[position]);
          for (std::size_t l = 11; l < stride; ++l) row[l] = 0.0;
        }
        std::memcpy(out + StandCount * stride, record.blackjack, sizeof record.blackjack);
        for (std::size_t l = 11; l < stride; ++l) out[StandCount * stride + l] = 0.0;
        continue;
      }
      for (std::size_t l = 0; l < stride; ++l) {
        for (int position = 0; position < StandCount; ++position)
          out[static_cast<std::size_t>(position) * stride + l] = l < lanes ? record.stand[position][entries[l]] : 0.0;
        out[StandCount * stride + l] = l < lanes ? record.blackjack[entries[l]] : 0.0;
      }
    }
  });
  if (dealerIncomplete.load()) incomplete.store(true);
}

// One body per vector level (split/perfect_split_group.inc), chosen by
// vectorLevel() so a test can run each.
#if SPLITEV_LEVEL_DISPATCH
#define SPLITEV_GROUP_NAME evaluateGroupV4
#define SPLITEV_GROUP_TARGET SPLITEV_TARGET_V4
#include "split/perfect_split_group.inc"
#define SPLITEV_GROUP_NAME evaluateGroupV3
#define SPLITEV_GROUP_TARGET SPLITEV_TARGET_V3
#include "split/perfect_split_group.inc"
#endif
#define SPLITEV_GROUP_NAME evaluateGroupV1
#define SPLITEV_GROUP_TARGET
#include "split/perfect_split_group.inc"

void PerfectSolver::evaluateGroup(std::size_t k, std::size_t g, const std::vector<int>& entries, const Records& here,
                                  const Records* below, const double* belowValues, const std::int32_t* links,
                                  double* values, bool& complete) const {
  // Every entry at once in padded rows, the common case, has its lane
  // count fixed at compile time, and its hottest loops run on vectors.
  const bool all = strideFor(entries.size()) == PaddedLanes;
#if SPLITEV_LEVEL_DISPATCH
  if (vectorLevel() == 4) {
    return all ? evaluateGroupV4<11>(k, g, entries, here, below, belowValues, links, values, complete)
               : evaluateGroupV4<0>(k, g, entries, here, below, belowValues, links, values, complete);
  }
  if (vectorLevel() == 3) {
    return all ? evaluateGroupV3<11>(k, g, entries, here, below, belowValues, links, values, complete)
               : evaluateGroupV3<0>(k, g, entries, here, below, belowValues, links, values, complete);
  }
#endif
  if (all) return evaluateGroupV1<11>(k, g, entries, here, below, belowValues, links, values, complete);
  evaluateGroupV1<0>(k, g, entries, here, below, belowValues, links, values, complete);
}

void PerfectSolver::evaluate(const std::vector<int>& entries, std::size_t keep, std::array<double, 11>& rootValue) {
  const std::size_t lanes = entries.size();
  // Two levels' values and records at a time, each kind in one buffer
  // sized once per pass for the largest two levels together: a level at an
  // even depth from its start, at an odd depth up to its end, so a level
  // never overlaps the one it reads. Each state's values and each played
  // group's record are written before they are read, so the buffers are
  // left uninitialised.
  std::size_t mostStates = 0;
  std::size_t mostGroups = 0;
  for (std::size_t k = 0; k < levels.size(); ++k) {
    const bool last = k + 1 == levels.size();
    mostStates = std::max(mostStates, levels[k].states + (last ? 0 : levels[k + 1].states));
    mostGroups = std::max(mostGroups, levels[k].groups() + (last ? 0 : levels[k + 1].groups()));
  }
  PerfectScratch own;
  PerfectScratch& scratch = control.scratch != nullptr ? *control.scratch : own;
  const std::size_t stride = strideFor(lanes);
  double* const recordBuffer = scratch.records(mostGroups * RecordRows * stride);
  double* const valueBuffer = scratch.values(mostStates * stride);
  Records here;
  Records below;
  here.stride = below.stride = stride;
  double* values = nullptr;
  const double* belowValues = nullptr;
  for (std::size_t k = levels.size(); k-- > 0;) {
    pollStop();
    const Level& level = levels[k];
    const bool fromStart = k % 2 == 0;
    here.values = recordBuffer + (fromStart ? 0 : (mostGroups - level.groups()) * RecordRows * stride);
    values = valueBuffer + (fromStart ? 0 : (mostStates - level.states) * stride);
    if (k + 1 < levels.size()) openLevel(k + 1);
    fillRecords(k, entries, here);
    const std::size_t groups = level.keys.size();
    const std::size_t tasks = (groups + GroupsPerTask - 1) / GroupsPerTask;
    parallelFor(control.threads, tasks, [&](std::size_t task) {
      pollStop();
      bool complete = true;
      const std::size_t first = task * GroupsPerTask;
      const std::size_t end = std::min(groups, first + GroupsPerTask);
      std::int32_t links[GroupsPerTask * RankCount];
      linksOf(k, first, end, links);
      std::size_t states = 0;
      for (std::size_t g = first; g < end; ++g) {
        evaluateGroup(k, g, entries, here, &below, belowValues, links + (g - first) * RankCount, values, complete);
        states += level.base[g + 1] - level.base[g];
      }
      if (!complete) incomplete.store(true, std::memory_order_relaxed);
      const std::size_t done = statesDone.fetch_add(states) + states;
      report("values", SearchShare + (1.0 - SearchShare) * static_cast<double>(done) /
                                         static_cast<double>(statesTotal * passCount));
    });
    if (k + 1 < levels.size()) {
      // Its lookup tables go; the level itself too unless the next pass keeps it.
      Level& read = levels[k + 1];
      if (k + 1 > keep) {
        read = Level();
      } else {
        std::vector<std::uint64_t>().swap(read.bits);
        std::vector<std::uint16_t>().swap(read.wordBase);
      }
    }
    std::swap(here, below);
    belowValues = values;
  }
  // The root: the first hand's lone pair card, two hands dealt, the first
  // state of level 0.
  rootValue.fill(0.0);
  for (std::size_t l = 0; l < lanes; ++l) rootValue[static_cast<std::size_t>(entries[l])] = belowValues[l];
}

}  // namespace

PerfectResults evaluatePerfectSplit(const Shoe& shoe, const Removals& removals, Rank pair, const RuleSet& rules,
                                    const ResplitRules& resplit, const PerfectControl& control) {
  PerfectResults results;
  if (pair < 1 || pair > RankCount || resplit.hands < 2 || resplit.hands > 4 || !removalsFit(shoe, removals))
    return results;
  const ShoeCounts available = availableCounts(shoe, removals);
  if (!canDealPair(pair, available)) return results;

  Shoe live = shoe;
  live.removeCards(removals);
  live.removeCard(pair);
  live.removeCard(pair);

  std::vector<int> entries;
  for (int i = 0; i < 11; ++i)
    if (control.entries[static_cast<std::size_t>(i)]) entries.push_back(i);

  try {
    PerfectSolver solver(live.currentCounts, live.takenOut(), rules, pair, resplit, control);
    // A search that would not fit beside the scratch's memory lets it go and goes on.
    for (;;) {
      try {
        solver.build();
        break;
      } catch (const BudgetExceeded&) {
        if (control.scratch == nullptr || control.scratch->bytes() == 0) throw;
        control.scratch->release();
      }
    }
    results.states = solver.stateCount();

    // As many entries per pass as the budget allows.
    int lanes = static_cast<int>(entries.size());
    if (solver.peakBytes(lanes, 0) > control.memoryBudget) solver.padRows(false);
    while (lanes > 1 && solver.peakBytes(lanes, 0) > control.memoryBudget) --lanes;
    results.estimatedBytes = solver.peakBytes(std::max(lanes, 1), 0);
    if (results.estimatedBytes > control.memoryBudget) {
      results.run = PerfectRun::TooLarge;
      return results;
    }
    // The passes share the entries evenly: no more passes, and a lower peak.
    const std::size_t passes = (entries.size() + static_cast<std::size_t>(std::max(lanes, 1)) - 1) /
                               static_cast<std::size_t>(std::max(lanes, 1));
    const std::size_t perPass = passes == 0 ? 1 : (entries.size() + passes - 1) / passes;
    results.estimatedBytes = solver.peakBytes(static_cast<int>(perPass), 0);
    // Kept buffers larger than the pass needs would add to its peak.
    if (control.scratch != nullptr && results.estimatedBytes + control.scratch->bytes() > control.memoryBudget)
      control.scratch->release();
    // Before another pass, the levels from the start that do not raise the
    // pass's peak are kept, so its search starts deeper.
    std::size_t keep = 0;
    if (passes > 1) {
      while (keep + 1 < solver.levelCount() &&
             solver.peakBytes(static_cast<int>(perPass), keep + 1) <= results.estimatedBytes)
        ++keep;
    }
    solver.setPasses(passes);
    std::array<double, 11> value{};
    for (std::size_t first = 0; first < entries.size(); first += perPass) {
      const std::vector<int> part(entries.begin() + static_cast<std::ptrdiff_t>(first),
                                  entries.begin() + static_cast<std::ptrdiff_t>(std::min(entries.size(), first + perPass)));
      std::array<double, 11> partValue{};
      if (first > 0) {
        // The last pass let the deeper levels go; the search again needs the room its buffers took.
        if (control.scratch != nullptr) control.scratch->release();
        solver.build();
      }
      solver.evaluate(part, keep, partValue);
      for (int i : part) value[static_cast<std::size_t>(i)] = partValue[static_cast<std::size_t>(i)];
      ++results.passes;
    }
    if (control.scratch != nullptr && control.scratch->bytes() > control.memoryBudget / 8) control.scratch->release();
    results.split.complete = solver.complete();
    results.dealerShoes = results.passes == 0 ? 0 : solver.dealerShoeCount() / results.passes;
    for (int i : entries) results.split.ev[static_cast<std::size_t>(i)] = value[static_cast<std::size_t>(i)];
  } catch (const StopRequested&) {
    results.run = PerfectRun::Cancelled;
    return results;
  } catch (const BudgetExceeded& exceeded) {
    results.run = PerfectRun::TooLarge;
    results.estimatedBytes = exceeded.bytes;
    results.estimateComplete = false;
    return results;
  } catch (const std::bad_alloc&) {
    if (control.scratch != nullptr) control.scratch->release();
    results.run = PerfectRun::OutOfMemory;
    return results;
  }

  // The blackjack chances of the shoe at the split, for the views.
  const DealerProbabilities atSplit = dealerProbabilities(live, rules.standsOnSoft17);
  const DealerOutcome record(atSplit);
  results.split.blackjackOverall = record.blackjack[0];
  results.split.blackjackVsAce = record.blackjack[Ace];
  results.split.blackjackVsTen = record.blackjack[Ten];
  for (int i : entries)
    results.split.dealable[static_cast<std::size_t>(i)] = i == 0 || canDealUpCard(i, pair, available);
  results.split.run = SplitRun::Completed;
  results.run = PerfectRun::Completed;
  return results;
}
