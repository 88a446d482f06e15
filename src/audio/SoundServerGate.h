#pragma once
// Guards the first read of Qt's list of sound devices.
//
// Qt's PulseAudio back end connects to the server the first time any device list is read, on
// the reading thread, and waits for a hung server without a deadline: a window that lists
// devices would freeze for as long as the server hangs. So a window asks this gate first; the
// question has a deadline and runs on a worker thread, and `answered` comes back on the
// gate's thread. Once the server has answered at all (up, or absent so that Qt fails at once),
// Qt has built its list and later reads return at once: open() stays true for the process.
//
// Thread: user-interface thread (the question runs on a worker thread of its own, which
// touches nothing of the gate).

#include <QObject>

#include <memory>

namespace tavrin {

class SoundServerGate : public QObject {
    Q_OBJECT
public:
    static constexpr int kQuestionMs = 2000;

    explicit SoundServerGate(QObject *parent = nullptr);
    ~SoundServerGate() override;

    // True when Qt's device lists may be read on this thread without waiting on the server.
    static bool open();
    // Marks the lists as safe to read (a caller that learnt the server answered some other way).
    static void markOpen();

    // Starts the question unless one is out or the gate is open already.
    void ask();
    bool asking() const { return asking_; }

signals:
    // open: the lists may be read now; false when the server took the connection and hung.
    void answered(bool open);

private:
    struct Link;
    std::shared_ptr<Link> link_;
    bool asking_ = false;
};

} // namespace tavrin
