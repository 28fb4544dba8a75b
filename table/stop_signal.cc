#include "table/stop_signal.h"

#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>

namespace {

constexpr std::array<int, 3> StopSignalNumbers = {SIGTERM, SIGINT, SIGHUP};

// Both are read in the handler: lock-free atomics are async-signal-safe.
std::atomic<int> caught{0};
std::atomic<int> deferrals{0};
static_assert(std::atomic<int>::is_always_lock_free);

std::array<struct sigaction, StopSignalNumbers.size()> previous{};

extern "C" void onStopSignal(int signal) {
  int none = 0;
  caught.compare_exchange_strong(none, signal);
  // Sequentially consistent with DeferStop: either the holder sees the
  // signal when it is done, or this sees no holder and nothing is written.
  if (deferrals.load() == 0) _exit(128 + caught.load());
}

}  // namespace

int caughtStopSignal() { return caught.load(); }

StopSignals::StopSignals() {
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int signal : StopSignalNumbers) sigaddset(&action.sa_mask, signal);
  for (std::size_t i = 0; i < StopSignalNumbers.size(); ++i) {
    sigaction(StopSignalNumbers[i], &action, &previous[i]);
    // A signal ignored when the program started stays ignored, as nohup and
    // a shell's background jobs expect.
    if (previous[i].sa_handler == SIG_IGN) sigaction(StopSignalNumbers[i], &previous[i], nullptr);
  }
}

StopSignals::~StopSignals() {
  for (std::size_t i = 0; i < StopSignalNumbers.size(); ++i) sigaction(StopSignalNumbers[i], &previous[i], nullptr);
}

DeferStop::DeferStop() { deferrals.fetch_add(1); }

DeferStop::~DeferStop() { deferrals.fetch_sub(1); }
