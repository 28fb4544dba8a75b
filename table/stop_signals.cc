#include "table/stop_signals.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t firstSignal = 0;

constexpr int Stopping[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[3];

extern "C" void remember(int signal) {
  if (firstSignal == 0) firstSignal = signal;
}

}  // namespace

StopSignals::StopSignals() {
  struct sigaction action {};
  action.sa_handler = remember;
  sigemptyset(&action.sa_mask);
  for (int i = 0; i < 3; ++i) sigaction(Stopping[i], &action, &previous[i]);
}

StopSignals::~StopSignals() {
  for (int i = 0; i < 3; ++i) sigaction(Stopping[i], &previous[i], nullptr);
}

int StopSignals::caught() { return firstSignal; }
