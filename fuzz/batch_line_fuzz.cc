// splitev-table's batch-line parser on arbitrary bytes as one line. It must
// return, never crash or throw; a case it accepts must be one the program
// can run, and a refusal is one non-empty line whatever the input held (the
// values it quotes are shown as JSON, whose strings escape line breaks).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "fuzz/table_case_check.h"
#include "table/batch_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const auto parsed = parseBatchLine(line);
  if (const auto* c = std::get_if<TableCase>(&parsed)) {
    checkCase(*c);
  } else {
    const std::string& reason = std::get<std::string>(parsed);
    if (reason.empty()) broken("a refusal has a reason");
    if (reason.find_first_of("\r\n") != std::string::npos) broken("a refusal is one line");
  }
  return 0;
}
