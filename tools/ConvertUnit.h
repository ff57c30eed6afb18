// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ReadingConsumerUnit.h"
#include "SeriesStoreUnit.h"

#include <QString>
#include <functional>
#include <string>
#include <vector>

// What packmon-convert does, without its command line: a comms capture is
// decoded and fed through the reading consumer exactly as the window's
// replay is, in one pass; a graph file is read as the window reads it.

enum class TInputKind { Capture, Graphs };

// Told apart by content: a graph file begins with a short string naming a
// component; a capture is text. An empty file goes by its extension.
TInputKind DetectInputKind(const std::string& Bytes, const QString& FileName);

// Failures are collected (the window would log them and carry on);
// Progress receives the share of the text done, from 0 to 1; Observers
// follow the readings as the window's do (balance figures, for one).
void ReplayCaptureInto(std::string Text, TSeriesStore& Chart, std::vector<std::string>& Failures,
                       const std::function<void(double)>& Progress = {},
                       const std::vector<TReadingObserver*>& Observers = {});

void ReadGraphsInto(const std::string& Bytes, TSeriesStore& Chart);
