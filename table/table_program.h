#pragma once

#include <cstdio>
#include <string>
#include <vector>

// The table program from its arguments (without the program name) to its
// exit status: 0 when everything was computed and written, 1 when a case
// or batch line failed or the output could not be written, 2 when the
// command line is refused (then nothing goes to out), 128 + the signal when
// a stop signal caught by a StopSignals (table/stop_signal.h) ended it after
// a whole line.
int runTableProgram(const std::vector<std::string>& arguments, std::FILE* in, std::FILE* out, std::FILE* err);
