#include <exception>
#include <iostream>

#include "front/main_loop.h"
#include "front/posix_console.h"

int main() {
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
