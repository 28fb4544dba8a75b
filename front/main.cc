#include <errno.h>  // program_invocation_short_name

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>

#include "dealer/dealer_table.h"
#include "front/main_loop.h"
#include "front/posix_console.h"

int main() {
  // Without the dealer tables nothing can be computed: stop before the
  // console is touched, naming the program as it was started.
  if (!buildDealerTables()) {
    std::fputs(program_invocation_short_name, stderr);
    std::fputs(": not enough memory to build the dealer hand tables\n", stderr);
    return EXIT_FAILURE;
  }
  try {
    PosixConsole console;
    const int status = runProgram(console);
    console.flushOutput();
    return status;
  } catch (const OutputFailed& error) {
    // Standard output is of no use: one line on standard error.
    std::cerr << "splitev: " << error.what() << '\n';
    return 1;
  } catch (const std::exception& error) {
    // The console has put the terminal back on the way out.
    std::cout.flush();
    std::cerr << "\nsplitev: " << error.what() << '\n';
    return 1;
  }
}
