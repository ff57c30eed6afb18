// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConvertUnit.h"

#include "ComponentNamesUnit.h"
#include "GraphFileUnit.h"
#include "PackMonCommsThreadUnit.h"
#include "ReadingConsumerUnit.h"
#include "WindowComponentsUnit.h"

#include <cctype>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

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

namespace {

// What the parsing thread hands the consuming one, in the capture's order: a
// reading, or a record's failure when Failure is not empty.
struct TReplayItem {
    TReadingRecord Reading;
    std::string Failure;
};

struct TReplayBatch {
    std::vector<TReplayItem> Items;
    double Done = 0.0; // the share of the text parsed when the batch was sent
};

// Batches from one thread to another, at most two waiting.
class TBatchQueue {
  public:
    // False once closed: the consumer gave up.
    bool Push(TReplayBatch Batch) {
        std::unique_lock Lock(Mutex);
        Changed.wait(Lock, [this] { return Closed || Waiting.size() < 2; });
        if (Closed)
            return false;
        Waiting.push_back(std::move(Batch));
        Changed.notify_all();
        return true;
    }
    std::optional<TReplayBatch> Pop() {
        std::unique_lock Lock(Mutex);
        Changed.wait(Lock, [this] { return Closed || !Waiting.empty(); });
        if (Waiting.empty())
            return std::nullopt;
        TReplayBatch Batch = std::move(Waiting.front());
        Waiting.pop_front();
        Changed.notify_all();
        return Batch;
    }
    void Close() {
        const std::lock_guard Lock(Mutex);
        Closed = true;
        Changed.notify_all();
    }

  private:
    std::mutex Mutex;
    std::condition_variable Changed;
    std::deque<TReplayBatch> Waiting;
    bool Closed = false;
};

class TBatchingSink : public TPackMonRecordSink {
  public:
    static constexpr std::size_t BatchSize = 4096;
    explicit TBatchingSink(TBatchQueue& AQueue) : Queue(AQueue) { Batch.Items.reserve(BatchSize); }
    void PostCommsLine(std::string_view) override {}
    void PostReading(const TReadingRecord& Reading) override {
        Batch.Items.push_back({Reading, {}});
        if (Batch.Items.size() >= BatchSize)
            Send(Done);
    }
    void Fail(std::string Message) { Batch.Items.push_back({{}, std::move(Message)}); }
    bool Send(double Share) {
        Batch.Done = Share;
        const bool Taken = Queue.Push(std::move(Batch));
        Batch = {};
        Batch.Items.reserve(BatchSize);
        return Taken;
    }
    double Done = 0.0;

  private:
    TBatchQueue& Queue;
    TReplayBatch Batch;
};

// Parses the whole capture, as the comms thread would, on a thread of its own.
void ParseCapture(TRxedBuffer& Buffer, TBatchingSink& Sink) {
    const double Total = static_cast<double>(std::max<std::size_t>(Buffer.Length(), 1));
    TPackMonDecodeState State;
    std::uint64_t Lines = 0;
    TPackMonParserContext Context{State, Sink, SystemClock(), &Lines};
    for (;;) {
        const std::size_t Before = Buffer.Length();
        try {
            ProcessRxedString(Buffer, false, Context);
        } catch (const EPackMonException& Failure) {
            Sink.Fail(Failure.Message());
        }
        if (Buffer.Length() == Before && !CompleteLastRecord(Buffer))
            break;
        Sink.Done = 1.0 - static_cast<double>(Buffer.Length()) / Total;
    }
    Sink.Send(1.0);
}

} // namespace

void ReplayCaptureInto(std::string Text, TSeriesStore& Chart, std::vector<std::string>& Failures,
                       const std::function<void(double)>& Progress, const std::vector<TReadingObserver*>& Observers) {
    // Parsing and consuming take about as long as each other, so they run
    // side by side: the parser a batch ahead.
    TRxedBuffer Buffer(std::move(Text));
    TBatchQueue Queue;
    TBatchingSink Sink(Queue);
    std::exception_ptr ParseFailure;
    std::thread Parser([&] {
        try {
            ParseCapture(Buffer, Sink);
        } catch (...) {
            ParseFailure = std::current_exception();
        }
        Queue.Close();
    });
    struct TJoin {
        TBatchQueue& Queue;
        std::thread& Thread;
        ~TJoin() {
            Queue.Close();
            Thread.join();
        }
    } Join{Queue, Parser};

    TReadingConsumer Consumer(Chart);
    for (TReadingObserver* Observer : Observers)
        Consumer.AddObserver(*Observer);
    while (std::optional<TReplayBatch> Batch = Queue.Pop()) {
        for (const TReplayItem& Item : Batch->Items) {
            if (!Item.Failure.empty()) {
                Failures.push_back(Item.Failure);
                continue;
            }
            try {
                Consumer.Consume(Item.Reading);
            } catch (const EPackMonException& Failure) {
                Failures.push_back(Failure.Message());
            }
        }
        if (Progress)
            Progress(Batch->Done);
    }
    if (ParseFailure)
        std::rethrow_exception(ParseFailure);
    if (Progress)
        Progress(1.0);
}

void ReadGraphsInto(const std::string& Bytes, TSeriesStore& Chart) {
    TTableHost Host(Chart);
    ReadGraphsBytes(Bytes, Host);
}
