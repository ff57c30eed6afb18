// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConvertUnit.h"

#include "CaptureReplayUnit.h"
#include "ComponentNamesUnit.h"
#include "GraphFileUnit.h"
#include "ReadingConsumerUnit.h"
#include "WindowGraphHostUnit.h"

#include <cctype>

TInputKind DetectInputKind(const std::string& Bytes, const QString& FileName) {
    if (Bytes.empty())
        return FileName.endsWith(QLatin1String(".PackMonGraphs"), Qt::CaseInsensitive) ? TInputKind::Graphs
                                                                                       : TInputKind::Capture;
    const std::size_t Length = static_cast<unsigned char>(Bytes[0]);
    if (Length == 0 || Length + 1 > Bytes.size())
        return TInputKind::Capture;
    for (std::size_t I = 1; I <= Length; ++I) {
        const auto C = static_cast<unsigned char>(Bytes[I]);
        if (!std::isalnum(C) && C != '_')
            return TInputKind::Capture;
    }
    return TInputKind::Graphs;
}

void ReplayCaptureInto(std::string Text, TSeriesStore& Chart, std::vector<std::string>& Failures,
                       const std::function<void(double)>& Progress, const std::vector<TReadingObserver*>& Observers) {
    TReadingConsumer Consumer(Chart);
    for (TReadingObserver* Observer : Observers)
        Consumer.AddObserver(*Observer);
    ReplayCaptureThrough(std::move(Text), Consumer, Failures, Progress);
}

void ReadGraphsInto(const std::string& Bytes, TSeriesStore& Chart) {
    TWindowGraphHost Host(MainFormComponentName, Chart);
    ReadGraphsBytes(Bytes, Host);
}
