// splitev-table's batch-line parser on arbitrary bytes as one line. It must
// return or refuse with splitev::Error, never crash or throw anything else; a case it accepts must be one the program
// can run, and a refusal is one non-empty line whatever the input held (the
// values it quotes are shown as JSON, whose strings escape line breaks).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/table_case_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  try {
    checkCase(splitev::parseCase(line));
  } catch (const splitev::Error& refusal) {
    const std::string reason = refusal.what();
    if (reason.empty()) broken("a refusal has a reason");
    if (reason.find_first_of("\r\n") != std::string::npos) broken("a refusal is one line");
  }
  return 0;
}
