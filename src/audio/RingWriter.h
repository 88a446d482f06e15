#pragma once
// The recorder's ring: BufferCount records of BufferSize / 2 samples each, and the queue of
// records waiting to be filled. The audio source writes into it as a QIODevice; each record
// that fills up leaves the queue and is announced through `full`, and comes back only through
// requeue(). With nothing queued, incoming bytes are dropped and counted.
//
// Thread: user-interface thread. Allocates only in the constructor.

#include <QIODevice>

#include <functional>
#include <vector>

namespace tavrin {

class RingWriter final : public QIODevice {
public:
    struct Record {
        std::vector<qint16> samples;
        qint32 bytesRecorded = 0;
    };

    // All records start queued in index order. A record counts as full at the last whole frame
    // of frameBytes that fits (as a wave-in device fills it), so every buffer starts on a left
    // sample; samples past that stay 0.
    RingWriter(int count, int bufferBytes, std::function<void(int index)> full, int frameBytes = 1);

    int count() const { return static_cast<int>(records_.size()); }
    const Record &record(int index) const { return records_.at(static_cast<size_t>(index)); }
    // Puts a record that was handed out back at the end of the queue, empty.
    void requeue(int index);
    std::vector<int> queued() const;
    qint64 dropped() const { return dropped_; }
    // Every byte the device has written, kept or dropped.
    qint64 received() const { return received_; }

protected:
    qint64 writeData(const char *data, qint64 len) override;
    qint64 readData(char *, qint64) override { return -1; }

private:
    std::vector<Record> records_;
    qint64 fillBytes_ = 0;
    std::vector<int> queue_; // circular, capacity = count
    std::vector<bool> inQueue_;
    size_t head_ = 0;
    size_t size_ = 0;
    qint64 dropped_ = 0;
    qint64 received_ = 0;
    std::function<void(int)> full_;
};

} // namespace tavrin
