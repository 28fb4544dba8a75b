#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "table/stop_signal.h"
#include "table/table_program.h"

int main(int argc, char** argv) {
  const StopSignals stopSignals;
  try {
    return runTableProgram(std::vector<std::string>(argv + 1, argv + argc), stdin, stdout, stderr);
  } catch (const std::exception& error) {
    std::fputs("splitev-table: ", stderr);
    std::fputs(error.what(), stderr);
    std::fputs("\n", stderr);
    return 1;
  }
}
