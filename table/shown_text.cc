#include "table/shown_text.h"

#include <charconv>
#include <cstdint>
#include <system_error>

namespace {

// The length of the UTF-8 sequence of a code point from U+00A0 up that
// starts text, or 0 when text does not start with one. Control characters
// U+0080..U+009F, overlong forms, surrogates and codes past U+10FFFF do not
// count.
std::size_t printableSequenceAt(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  const std::size_t length = lead >= 0xf0 && lead <= 0xf4 ? 4 : lead >= 0xe0 ? 3 : lead >= 0xc2 ? 2 : 0;
  if (length == 0 || length > text.size()) return 0;
  std::uint32_t code = lead & (0x7fu >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xc0) != 0x80) return 0;
    code = (code << 6) | (byte(i) & 0x3fu);
  }
  const std::uint32_t least[] = {0, 0, 0xa0, 0x800, 0x10000};
  if (code < least[length] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return 0;
  return length;
}

std::string hexByte(unsigned char c) {
  constexpr std::string_view Hex = "0123456789abcdef";
  return {Hex[c >> 4], Hex[c & 0xf]};
}

// One ASCII character or stray byte as shown: itself, or its escape.
std::string shownByte(unsigned char c) {
  switch (c) {
    case '"':
      return "\\\"";
    case '\\':
      return "\\\\";
    case '\n':
      return "\\n";
    case '\r':
      return "\\r";
    case '\t':
      return "\\t";
    default:
      break;
  }
  if (c >= 0x20 && c < 0x7f) return std::string(1, static_cast<char>(c));
  // Other control characters as code points; bytes that are not part of
  // valid UTF-8 as bytes.
  return c < 0x80 ? "\\u00" + hexByte(c) : "\\x" + hexByte(c);
}

}  // namespace

std::string shownText(std::string_view text, std::size_t limit) {
  std::string shown;
  for (std::size_t at = 0; at < text.size();) {
    std::string next;
    if (const std::size_t length = printableSequenceAt(text.substr(at)); length > 0) {
      next = text.substr(at, length);
      at += length;
    } else {
      const auto c = static_cast<unsigned char>(text[at++]);
      const auto after = at < text.size() ? static_cast<unsigned char>(text[at]) : 0;
      if (c == 0xc2 && after >= 0x80 && after < 0xa0) {
        next = "\\u00" + hexByte(after);  // a C1 control character, U+0080..U+009F
        ++at;
      } else {
        next = shownByte(c);
      }
    }
    if (shown.size() + next.size() > limit) return shown + "...";
    shown += next;
  }
  return shown;
}

std::optional<std::int64_t> parseWholeNumber(std::string_view text) {
  std::int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  return value;
}
