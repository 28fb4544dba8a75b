#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// The table program from its arguments (without the program name) to its
// exit status: 0 when everything was computed and written, 1 when a case
// or batch line failed or the output could not be written, 2 when the
// command line is refused (then nothing goes to out), 128 + the signal when
// stopSignal (polled during long computations) gives one: the case being
// computed is dropped and nothing of it written.
int runTableProgram(const std::vector<std::string>& arguments, std::FILE* in, std::FILE* out, std::FILE* err,
                    const std::function<int()>& stopSignal = {});
