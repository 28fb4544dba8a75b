#include <errno.h>  // program_invocation_short_name
#include <splitev/evaluator.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "table/stop_signal.h"
#include "table/table_program.h"

int main(int argc, char** argv) {
  try {
    splitev::prepare();
  } catch (const splitev::Error& error) {
    std::fputs(program_invocation_short_name, stderr);
    std::fputs(": ", stderr);
    std::fputs(error.what(), stderr);
    std::fputs("\n", stderr);
    return EXIT_FAILURE;
  }
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
