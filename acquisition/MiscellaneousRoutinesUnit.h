// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

class TPackMonCommsThread;

// Stops the comms thread, running its pending hand-overs while it waits so
// that it can finish its pass, then frees it and clears the reference.
// Does nothing when there is no thread. Main thread only.
void StopAndFreeThread(std::unique_ptr<TPackMonCommsThread>& ThreadRef);
