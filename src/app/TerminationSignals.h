#pragma once
// SIGTERM, SIGINT and SIGHUP (a desktop logout, `kill`, Ctrl+C in a terminal, the terminal
// closed) must end the program the way "Exit Program" does, from the event loop, so that
// settings are saved, linked stations get a goodbye and the station logs off the directory.
// The handler only writes the signal's number into a socket pair; a notifier on the other end
// raises received() in the loop. The handlers are one-shot: a second signal while the program
// is ending kills it at once, so a hung exit can still be stopped. A signal that was ignored
// when the program started (nohup) stays ignored.
//
// Thread: user-interface thread. At most one instance at a time. On systems without POSIX
// signals it does nothing.

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace tavrin {

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    // Puts the default handlers back.
    ~TerminationSignals() override;

Q_SIGNALS:
    void received(int signalNumber);

private:
    void readPipe();

    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace tavrin
