#pragma once
// A Rig on Hamlib's C library: any model it knows, on a serial device or, for model 2
// (NET rigctl), on a rigctld at host:port.
//
// Thread: one thread at a time (Hamlib's RIG handle is not thread-safe); RigController
// keeps every call on its rig thread.

#include "node/Rig.h"

#include <QStringList>

struct s_rig;

namespace tavrin::node {

struct HamlibOptions {
    int model = 1;       // 1: Hamlib's dummy rig
    QString port;        // serial device, or host:port for model 2
    int serialSpeed = 0; // 0: the model's default
    int timeoutMs = 3000;
};

// What Hamlib itself can tell of the options before any rig is opened: a model it does not
// know, a serial speed the model or the serial port cannot use. Each text names the key.
QStringList hamlibOptionProblems(const HamlibOptions &options);
// "Icom IC-7300" for 3073; empty for a model Hamlib does not know.
QString hamlibModelName(int model);

class HamlibRig : public Rig {
public:
    explicit HamlibRig(HamlibOptions options);
    ~HamlibRig() override;

    void open() override;
    void close() override;
    bool isOpen() const override { return open_; }
    void setFrequency(qint64 hz) override;
    RigReading read() override;
    void setPtt(bool on) override;
    bool ptt() override;
    std::optional<int> strength() override;

private:
    void check(int code, const char *what);

    HamlibOptions options_;
    s_rig *rig_ = nullptr;
    bool open_ = false;
};

} // namespace tavrin::node
