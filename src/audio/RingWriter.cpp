#include "audio/RingWriter.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace tavrin {

RingWriter::RingWriter(int count, int bufferBytes, std::function<void(int index)> full, int frameBytes)
    : records_(static_cast<size_t>(std::max(count, 0))), queue_(records_.size()), inQueue_(records_.size(), true),
      full_(std::move(full))
{
    const qint64 sampleBytes = qint64(std::max(bufferBytes, 0) / 2) * 2;
    const qint64 frame = std::max(frameBytes, 1);
    fillBytes_ = sampleBytes / frame * frame;
    for (size_t i = 0; i < records_.size(); ++i) {
        records_[i].samples.assign(static_cast<size_t>(std::max(bufferBytes, 0) / 2), 0);
        queue_[i] = static_cast<int>(i);
    }
    size_ = records_.size();
}

void RingWriter::requeue(int index)
{
    if (index < 0 || index >= count() || inQueue_[static_cast<size_t>(index)])
        return;
    records_[static_cast<size_t>(index)].bytesRecorded = 0;
    queue_[(head_ + size_) % queue_.size()] = index;
    inQueue_[static_cast<size_t>(index)] = true;
    ++size_;
}

std::vector<int> RingWriter::queued() const
{
    std::vector<int> out;
    for (size_t k = 0; k < size_; ++k)
        out.push_back(queue_[(head_ + k) % queue_.size()]);
    return out;
}

qint64 RingWriter::writeData(const char *data, qint64 len)
{
    received_ += std::max<qint64>(len, 0);
    qint64 left = len;
    while (left > 0) {
        if (size_ == 0 || fillBytes_ <= 0) {
            dropped_ += left;
            break;
        }
        const int index = queue_[head_];
        Record &r = records_[static_cast<size_t>(index)];
        const qint64 n = std::min(left, fillBytes_ - r.bytesRecorded);
        std::memcpy(reinterpret_cast<char *>(r.samples.data()) + r.bytesRecorded, data, static_cast<size_t>(n));
        r.bytesRecorded += static_cast<qint32>(n);
        data += n;
        left -= n;
        if (r.bytesRecorded >= fillBytes_) {
            head_ = (head_ + 1) % queue_.size();
            --size_;
            inQueue_[static_cast<size_t>(index)] = false;
            full_(index);
        }
    }
    // The source must never see a short write: what does not fit is dropped on purpose.
    return len;
}

} // namespace tavrin
