#pragma once

// The signals that stop the table program (SIGINT, SIGTERM, SIGHUP): caught
// for the life of the object and remembered, so a long computation can
// poll for them and the program end with 128 + the signal's number,
// nothing half-written.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // The first signal caught, or 0.
  static int caught();
};
