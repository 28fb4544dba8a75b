// Reading one batch line into a case.

#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <limits>
#include <new>
#include <optional>
#include <set>
#include <variant>
#include <vector>

#include "lib/engine_case.h"

namespace splitev {

namespace {

// How much of a refused value a message shows, in characters.
constexpr std::size_t MaxShownValue = 40;

using nlohmann::json;

std::string dumped(const json& value) { return value.dump(-1, ' ', false, json::error_handler_t::replace); }

// Appends the value's JSON text to text, stopping once text is past the cut:
// each level adds a character before going deeper, so a value nested a
// million deep costs a few dozen calls (json's own dump recurses once a
// level and overflows the stack).
void appendShown(const json& value, std::string& text) {
  if (!value.is_structured()) {
    text += dumped(value);
    return;
  }
  text += value.is_array() ? '[' : '{';
  bool first = true;
  for (auto item = value.begin(); item != value.end() && text.size() <= MaxShownValue; ++item) {
    if (!first) text += ',';
    first = false;
    if (value.is_object()) text += dumped(json(item.key())) + ":";
    appendShown(item.value(), text);
  }
  text += value.is_array() ? ']' : '}';
}

// A value as a message shows it: its JSON text, cut short.
std::string shown(const json& value) {
  std::string text;
  appendShown(value, text);
  if (text.size() > MaxShownValue) text = text.substr(0, MaxShownValue) + "...";
  return text;
}

std::string refused(std::string_view key, const json& value, std::string_view allowed) {
  return std::string(key) + ": " + shown(value) + " is not allowed; allowed: " + std::string(allowed);
}

std::optional<std::int64_t> wholeNumber(const json& value) {
  if (value.is_number_unsigned()) {
    const std::uint64_t n = value.get<std::uint64_t>();
    if (n > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
    return static_cast<std::int64_t>(n);
  }
  if (value.is_number_integer()) return value.get<std::int64_t>();
  return std::nullopt;
}

// Reads the rules object into rules, or gives the refusal.
std::optional<std::string> readRules(const json& object, Rules& rules) {
  if (!object.is_object()) return refused("rules", object, "an object");
  for (const auto& item : object.items()) {
    const std::string& key = item.key();
    const json& value = item.value();
    const std::string name = "rules." + key;
    const auto flag = [&](bool& field) -> std::optional<std::string> {
      if (!value.is_boolean()) return refused(name, value, "true or false");
      field = value.get<bool>();
      return std::nullopt;
    };
    std::optional<std::string> refusal;
    if (key == "soft17") {
      if (value == "stand" || value == "hit") {
        rules.soft17 = value == "stand" ? Soft17::Stand : Soft17::Hit;
      } else {
        refusal = refused(name, value, "\"stand\" or \"hit\"");
      }
    } else if (key == "double") {
      const std::optional<DoubleRule> rule =
          value.is_string() ? parseDoubleRule(value.get<std::string>()) : std::nullopt;
      if (rule) {
        rules.doubling = *rule;
      } else {
        refusal = refused(name, value, DoubleRulesAllowed);
      }
    } else if (key == "peek") {
      refusal = flag(rules.peek);
    } else if (key == "das") {
      refusal = flag(rules.das);
    } else if (key == "hsa") {
      refusal = flag(rules.hsa);
    } else if (key == "dspa") {
      refusal = flag(rules.dspa);
    } else if (key == "dan") {
      refusal = flag(rules.dan);
    } else if (key == "resplit_aces") {
      refusal = flag(rules.resplitAces);
    } else if (key == "hands") {
      const std::optional<std::int64_t> hands = wholeNumber(value);
      if (!hands) {
        refusal = refused(name, value, "2, 3 or 4");
      } else if ((refusal = checkHands(*hands, name))) {
      } else {
        rules.hands = static_cast<int>(*hands);
      }
    } else if (key == "charlie") {
      const std::optional<std::int64_t> cards = wholeNumber(value);
      if (cards && (*cards == 0 || *cards == 5 || *cards == 6)) {
        rules.charlie = static_cast<int>(*cards);
      } else {
        refusal = refused(name, value, "0, 5 or 6");
      }
    } else {
      refusal = "unknown key " + shown(json(name)) +
                "; allowed: soft17, double, peek, das, hsa, dspa, charlie, dan, hands, resplit_aces";
    }
    if (refusal) return refusal;
  }
  return checkRules(rules, "rules.dspa", "rules.das", "rules.hsa");
}

std::optional<std::string> readPairs(const json& value, std::array<bool, RankCount>& pairs) {
  if (value == "all") {
    pairs.fill(true);
    return std::nullopt;
  }
  const std::string allowed = "\"all\", or a non-empty list of " + std::string(RanksAllowed);
  if (!value.is_array() || value.empty()) return refused("pairs", value, allowed);
  pairs = {};
  for (const json& name : value) {
    const std::optional<int> pair = name.is_string() ? parseRank(name.get<std::string>()) : std::nullopt;
    if (!pair) return refused("pairs", name, allowed);
    pairs[static_cast<std::size_t>(rankIndex(*pair))] = true;
  }
  return std::nullopt;
}

// The entries of split_perfect, as --up-cards takes them.
std::optional<std::string> readUpCards(const json& value, std::array<bool, EntryCount>& entries) {
  const std::string allowed = "a non-empty list of " + std::string(EntriesAllowed);
  if (!value.is_array() || value.empty()) return refused("up_cards", value, allowed);
  entries = {};
  for (const json& name : value) {
    const std::optional<int> entry = name.is_string() ? parseEntry(name.get<std::string>()) : std::nullopt;
    if (!entry) return refused("up_cards", name, allowed);
    entries[static_cast<std::size_t>(*entry)] = true;
  }
  return std::nullopt;
}

// Finds the first key given twice in one object while the line is parsed:
// json keeps the last value, so the line would mean something other than
// what half of it says. The key is named by its path ("rules.das").
class RepeatedKeyFinder {
 public:
  bool operator()(int, json::parse_event_t event, const json& parsed) {
    switch (event) {
      case json::parse_event_t::object_start:
      case json::parse_event_t::array_start:
        open.push_back({event == json::parse_event_t::object_start, pathHere(), {}, {}});
        break;
      case json::parse_event_t::object_end:
      case json::parse_event_t::array_end:
        if (!open.empty()) open.pop_back();
        break;
      case json::parse_event_t::key:
        if (!open.empty()) {
          Container& object = open.back();
          object.lastKey = parsed.get<std::string>();
          if (!object.keys.insert(object.lastKey).second && !repeated) repeated = pathHere();
        }
        break;
      case json::parse_event_t::value:
        break;
    }
    return true;
  }

  std::optional<std::string> repeated;  // the first key given twice

 private:
  struct Container {
    bool isObject;
    std::string path;  // of the container, "" at the top
    std::set<std::string> keys;
    std::string lastKey;
  };
  // The path of what comes next: the key just read in an object.
  std::string pathHere() const {
    if (open.empty()) return "";
    const Container& inner = open.back();
    if (!inner.isObject) return inner.path;
    return inner.path.empty() ? inner.lastKey : inner.path + "." + inner.lastKey;
  }
  std::vector<Container> open;
};

}  // namespace

namespace {

// The case, or why the line is refused.
std::variant<Case, std::string> readCase(std::string_view line) {
  // json would take a NUL as the end of the text and ignore what follows.
  if (const std::size_t nul = line.find('\0'); nul != line.npos)
    return "not valid JSON (a NUL byte at byte " + std::to_string(nul + 1) + ")";
  json object;
  RepeatedKeyFinder repeatedKeys;
  try {
    object = json::parse(line, std::ref(repeatedKeys));
  } catch (const json::parse_error& error) {
    return "not valid JSON (at byte " + std::to_string(error.byte) + ")";
  } catch (const json::exception&) {
    // The text is JSON, but a number in it does not fit a double.
    return std::string("not valid JSON here (a number out of range)");
  }
  if (!object.is_object()) return std::string("a case must be a JSON object");
  if (repeatedKeys.repeated)
    return "key " + shown(json(*repeatedKeys.repeated)) + " is given twice; a key may appear once in an object";

  // Every key is read before the removals are checked against the decks.
  Case c;
  for (const auto& [key, value] : object.items()) {
    std::optional<std::string> refusal;
    if (key == "decks") {
      const std::optional<std::int64_t> decks = wholeNumber(value);
      if (!decks) return refused("decks", value, "a whole number from 1 to " + std::to_string(MaxDecks));
      refusal = checkDecks(*decks, "decks");
      if (!refusal) c.decks = *decks;
    } else if (key == "removed") {
      const std::string_view allowed = "a list of ten whole numbers, ace first";
      if (!value.is_array() || value.size() != RankCount) return refused("removed", value, allowed);
      for (std::size_t i = 0; i < RankCount; ++i) {
        const std::optional<std::int64_t> n = wholeNumber(value[i]);
        if (!n) return refused("removed", value, allowed);
        c.removed[i] = *n;
      }
    } else if (key == "rules") {
      refusal = readRules(value, c.rules);
    } else if (key == "pairs") {
      refusal = readPairs(value, c.pairs);
    } else if (key == "up_cards") {
      refusal = readUpCards(value, c.upCards);
    } else {
      refusal = "unknown key " + shown(json(key)) + "; allowed: decks, removed, rules, pairs, up_cards";
    }
    if (refusal) return *refusal;
  }
  if (auto refusal = checkRemovals(c.removed, c.decks, "removed")) return *refusal;
  return c;
}

}  // namespace

Case parseCase(std::string_view jsonLine) {
  std::variant<Case, std::string> read;
  try {
    read = readCase(jsonLine);
  } catch (const std::bad_alloc&) {
    throw Error("not enough memory for this case");
  }
  if (auto* refusal = std::get_if<std::string>(&read)) throw Error(*refusal);
  return std::get<Case>(read);
}

}  // namespace splitev
