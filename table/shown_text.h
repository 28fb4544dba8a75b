#pragma once

// User text in messages, and whole numbers as options give them.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// How much of a refused value a message shows, in characters.
inline constexpr std::size_t MaxShownValue = 40;

// Text from the user as a one-line message may quote it: a line break, an
// escape code or any other control character and an invalid UTF-8 byte
// appear as visible escapes (\n, \u001b, \xff; a quote or backslash
// escaped too), and the text is cut after at most `limit` characters,
// ending in "...". Pure.
std::string shownText(std::string_view text, std::size_t limit = MaxShownValue);

// A whole number in plain decimal (digits only, an optional leading minus),
// or nothing when the text is anything else or does not fit.
std::optional<std::int64_t> parseWholeNumber(std::string_view text);
