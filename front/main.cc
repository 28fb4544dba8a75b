#include <exception>
#include <iostream>

#include "front/main_loop.h"
#include "front/posix_console.h"

int main() {
  try {
    PosixConsole console;
    return runProgram(console);
  } catch (const std::exception& error) {
    // The console has put the terminal back on the way out.
    std::cout.flush();
    std::cerr << "\nsplitev: " << error.what() << '\n';
    return 1;
  }
}
