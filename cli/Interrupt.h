// SPDX-License-Identifier: MIT
#pragma once
// The run's interrupt. The first SIGINT or SIGTERM asks every port to stop after the
// transaction in flight: no frame is sent after it, and each port reports what it sent
// and what not. The second ends the program at once.

namespace korvane::cli {

// Safe in a signal handler.
void requestInterrupt() noexcept;
bool interruptRequested() noexcept;
// For the next run in the same process (tests).
void clearInterrupt() noexcept;

// Installs the handlers of SIGINT and SIGTERM: the first signal requests the
// interrupt, the second exits with status 130.
void installInterruptHandlers();

} // namespace korvane::cli
