// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaptureReplayUnit.h"

#include "PackMonCommsThreadUnit.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

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

void ReplayCaptureThrough(std::string Text, TReadingConsumer& Consumer, std::vector<std::string>& Failures,
                          const std::function<void(double)>& Progress) {
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
