// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConvertUnit.h"

#include "ComponentNamesUnit.h"
#include "GraphFileUnit.h"
#include "PackMonCommsThreadUnit.h"
#include "ReadingConsumerUnit.h"
#include "WindowComponentsUnit.h"

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

namespace {

class TConsumingSink : public TPackMonRecordSink {
  public:
    TConsumingSink(TSeriesStore& Store, const std::vector<TReadingObserver*>& Observers) : Consumer(Store) {
        for (TReadingObserver* Observer : Observers)
            Consumer.AddObserver(*Observer);
    }
    void PostCommsLine(std::string_view) override {}
    void PostReading(const TReadingRecord& Reading) override { Consumer.Consume(Reading); }

  private:
    TReadingConsumer Consumer;
};

// The window's chart and status bar, as far as a graph file can name them.
class TTableHost : public TGraphFileHost {
  public:
    explicit TTableHost(TSeriesStore& AChart) : Chart(AChart) {}
    std::string OwnerName() const override { return MainFormComponentName; }
    TGraphComponent FindComponent(const std::string& Name) override { return FindWindowComponent(Name, Chart, Bar); }

  private:
    class TNoPanels : public TGraphStatusBar {
      public:
        std::string Name() const override { return StatusBarComponentName; }
        bool SimplePanel() const override { return false; }
        std::string SimpleText() const override { return {}; }
        void SetSimpleText(const std::string&) override {}
        std::vector<std::string> PanelTexts() const override { return {}; }
        int PanelCount() const override { return 0; }
        void SetPanelText(int, const std::string&) override {}
    };
    TSeriesStore& Chart;
    TNoPanels Bar;
};

} // namespace

void ReplayCaptureInto(std::string Text, TSeriesStore& Chart, std::vector<std::string>& Failures,
                       const std::function<void(double)>& Progress, const std::vector<TReadingObserver*>& Observers) {
    const double Total = static_cast<double>(std::max<std::size_t>(Text.size(), 1));
    TRxedBuffer Buffer(std::move(Text));
    TPackMonDecodeState State;
    TConsumingSink Sink(Chart, Observers);
    std::uint64_t Lines = 0;
    TPackMonParserContext Context{State, Sink, SystemClock(), &Lines};
    for (std::size_t Pass = 0;; ++Pass) {
        const std::size_t Before = Buffer.Length();
        try {
            ProcessRxedString(Buffer, false, Context);
        } catch (const EPackMonException& Failure) {
            Failures.push_back(Failure.Message());
        }
        if (Buffer.Length() == Before && !CompleteLastRecord(Buffer))
            break;
        if (Progress && Pass % 1000 == 0)
            Progress(1.0 - static_cast<double>(Buffer.Length()) / Total);
    }
    if (Progress)
        Progress(1.0);
}

void ReadGraphsInto(const std::string& Bytes, TSeriesStore& Chart) {
    TTableHost Host(Chart);
    ReadGraphsBytes(Bytes, Host);
}
