#pragma once
// The transceiver as the node drives it: frequency, mode read-back, CAT PTT. Calls block
// (serial or network round trips), so they run on the rig thread of RigController, never
// on the event loop. A failed call throws RigError; the next call opens the rig again.
// A request the rig turns down throws RigRefusal.

#include <QString>

#include <optional>
#include <stdexcept>

namespace tavrin::node {

class RigError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The rig answered and turned the request down (a frequency it cannot tune): the link to it
// is sound, so this is no rig fault.
class RigRefusal : public RigError {
public:
    using RigError::RigError;
};

struct RigReading {
    qint64 hz = 0;
    QString mode; // "USB", "LSB", "CW", ...; empty when the rig does not say
};

class Rig {
public:
    virtual ~Rig() = default;
    virtual void open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual void setFrequency(qint64 hz) = 0;
    virtual RigReading read() = 0;
    virtual void setPtt(bool on) = 0;
    virtual bool ptt() = 0; // what the rig says of its own PTT
    // The S-meter in dB over S9; nothing when the rig has none.
    virtual std::optional<int> strength() = 0;
};

} // namespace tavrin::node
