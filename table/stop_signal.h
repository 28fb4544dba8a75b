#pragma once

// Stopping on SIGTERM, SIGINT or SIGHUP without leaving half a line behind.
//
// While a StopSignals lives, the first of those signals is recorded, and
// then:
//  - if nothing holds off the stop (no DeferStop alive), the program ends
//    at once from the handler with status 128 + the signal: nothing is
//    being written, so nothing is left half-done, and a long computation
//    is not waited for;
//  - while a DeferStop lives, the signal is only recorded: its holder
//    finishes what it is writing (a whole output line) and then ends the
//    program itself, with stopExitStatus().
// Every thread may poll stopRequested(): a computation that can stop part
// way (and says so with a DeferStop around it) checks it between steps and
// returns early; its caller then drops the unfinished result, writes
// nothing more and returns stopExitStatus().
//
// Writes interrupted by a signal resume (SA_RESTART), so a line that has
// begun goes out whole. A second signal changes nothing. Programs that do
// not create a StopSignals keep the default behaviour.

// The first stop signal caught, or 0. Async-signal-safe; any thread.
int caughtStopSignal();
inline bool stopRequested() { return caughtStopSignal() != 0; }
// 128 + the signal caught, as a shell reports a program the signal ended.
inline int stopExitStatus() { return 128 + caughtStopSignal(); }

// Catches the stop signals for its lifetime; the previous handlers come
// back on destruction. One at a time.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;
};

// Holds off ending the program on a stop signal while it lives (they nest):
// around writing a line, or around a computation that polls stopRequested().
class DeferStop {
 public:
  DeferStop();
  ~DeferStop();
  DeferStop(const DeferStop&) = delete;
  DeferStop& operator=(const DeferStop&) = delete;
};
