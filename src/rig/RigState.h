#pragma once
// What the rig server knows about the distant station: the frequency and mode word of the
// node's last frequency report, and a frequency commanded through the server that no report
// has confirmed yet. Every reply comes from here, so a poll never costs a chat line.
//
// Plain logic, no Qt objects; times are milliseconds of the program clock.

#include <QByteArray>

#include <optional>

namespace tavrin::rig {

class RigState {
public:
    // A report that does not match the commanded frequency replaces it only once the node
    // had this long to act on the command (an older report may still be on its way).
    static constexpr qint64 kConfirmWaitMs = 10'000;

    // The commanded frequency while unconfirmed, else the last reported one; 0 before either.
    qint64 frequencyHz() const;
    // The same at `nowMs`, except that a command the node has not confirmed within
    // kConfirmWaitMs (refused, or lost) gives way to the last report, if there was one.
    qint64 frequencyHz(qint64 nowMs) const;
    const QByteArray &mode() const { return mode_; }
    bool hasPending() const { return pending_.has_value(); }

    void commanded(qint64 hz, qint64 nowMs);
    // A commanded frequency that never went out: back to the reported one.
    void cancelCommand() { pending_.reset(); }
    // The node says it did not tune to `hz`: a command for it is over, and the report that
    // follows stands at once.
    void refused(qint64 hz);
    // A frequency report; an empty mode word keeps the mode we had.
    void reported(qint64 hz, const QByteArray &modeWord, qint64 nowMs);

private:
    bool waitOver(qint64 nowMs) const;

    std::optional<qint64> pending_;
    qint64 commandedAtMs_ = 0;
    qint64 reported_ = 0;
    bool hasReport_ = false;
    QByteArray mode_ = "USB";
};

} // namespace tavrin::rig
