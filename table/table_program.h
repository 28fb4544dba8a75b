#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// The table program from its arguments (without the program name) to its
// exit status: 0 when everything was computed and written, 1 when a case
// or batch line failed or the output could not be written, 2 when the
// command line is refused (then nothing goes to out), 128 + the signal when
// a stop signal caught by a StopSignals (table/stop_signal.h) ended it after
// a whole line.
int runTableProgram(const std::vector<std::string>& arguments, std::FILE* in, std::FILE* out, std::FILE* err);

// The line a batch writes for an input line it refuses or cannot compute.
std::string formatBatchError(std::int64_t line, std::string_view reason);
