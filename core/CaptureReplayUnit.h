// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ReadingConsumerUnit.h"

#include <functional>
#include <string>
#include <vector>

// A comms capture decoded as the comms thread decodes it and fed through a
// reading consumer in one pass, unpaced: the parser runs on a thread of its
// own, a batch ahead. A record's failure is collected, as the window would
// log it, and the pass carries on; Progress receives the share of the text
// done, from 0 to 1.
void ReplayCaptureThrough(std::string Text, TReadingConsumer& Consumer, std::vector<std::string>& Failures,
                          const std::function<void(double)>& Progress = {});
