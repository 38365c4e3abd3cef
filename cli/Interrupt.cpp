// SPDX-License-Identifier: MIT
#include "cli/Interrupt.h"

#include <atomic>
#include <csignal>

#if defined(_WIN32)
#include <cstdlib>
#else
#include <unistd.h>
#endif

namespace korvane::cli {

namespace {

std::atomic<bool> Interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

constexpr int InterruptedStatus = 130;

extern "C" void onSignal(int signal) {
    if (Interrupted.exchange(true)) {
#if defined(_WIN32)
        std::_Exit(InterruptedStatus);
#else
        ::_exit(InterruptedStatus);
#endif
    }
#if defined(_WIN32)
    // Windows resets the handler for each signal it delivers.
    std::signal(signal, onSignal);
#else
    (void)signal;
#endif
}

} // namespace

void requestInterrupt() noexcept {
    Interrupted.store(true);
}

bool interruptRequested() noexcept {
    return Interrupted.load();
}

void clearInterrupt() noexcept {
    Interrupted.store(false);
}

void installInterruptHandlers() {
#if defined(_WIN32)
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
#else
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
#endif
}

} // namespace korvane::cli
