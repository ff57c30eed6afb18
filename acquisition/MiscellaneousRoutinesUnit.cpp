// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "MiscellaneousRoutinesUnit.h"

#include "PackMonCommsThreadUnit.h"

void StopAndFreeThread(std::unique_ptr<TPackMonCommsThread>& ThreadRef) {
    if (!ThreadRef)
        return;
    ThreadRef->Terminate();
    ThreadRef->WaitFor();
    ThreadRef.reset();
}
