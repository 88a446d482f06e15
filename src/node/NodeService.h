#pragma once
// The node itself: hears the command vocabulary on the link's chat and drives the rig,
// keys the rig while a linked operator's voice arrives, and keeps the transmitter safe.
//
// Keying rule, re-checked on every change: the rig is keyed only while voice arrives from
// the link, every linked station may control the node, the rig answers, its frequency is
// known and inside the configured ranges, the transmit time-out has not run out for this
// over, and the node is not stopping. Anything else unkeys at once.
//
// The rig's received audio goes over the link while its squelch is open, the rig is not
// keyed, no voice arrives from the link and no operator has asked the node to stop (" CPT?",
// which holds it quiet until the squelch closes).
//
// A rig that does not answer in the first startGraceMs after the start, before it ever
// answered, is waited for (rigctld may still be opening the rig it serves): the log says so,
// an operator who asks hears "not ready yet", and only a rig still silent when the grace
// ends counts as a fault.
//
// A flood of commands does not become a flood at the rig or in the chat: while a frequency is
// being set the newest "FN" waits and only it follows, and a read ("FR?", "SR?") already on
// its way answers the same question asked again meanwhile. A station not on the allow-list
// hears its refusal once while it stays linked; the log has every refused command. A chat line
// names its sender itself, so a linked peer could make up a new name for every line: the node
// remembers a bounded number of refused names, each with the link it came through (forgotten
// when that link goes, the oldest first when full), and one link causes at most a few refusals
// in the chat a minute; the rest are only logged, with a count.
//
// Thread: event loop. Owns nothing but its timers; the link handle and the rig controller
// belong to the caller and outlive this object.

#include "node/NodeConfig.h"
#include "node/RigController.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <functional>
#include <optional>

namespace tavrin {
class EchoLinkClient;
}

namespace tavrin::node {

struct NodeServiceOptions {
    QString callsign;
    FrequencyRanges ranges = FrequencyRanges::iaruRegion1Hf();
    QStringList allow;
    bool listeners = true;
    int transmitTimeoutMs = 180000;
    int pollIntervalMs = 5000;
    int linkCheckMs = 1000;
    // How long after the start a rig that has not answered yet is waited for rather than
    // reported as faulty: rigctld, started with the node, may still be opening the rig.
    int startGraceMs = 30000;
    // Milliseconds on a monotonic clock, for the limit on refusals; empty: the steady clock.
    std::function<qint64()> clockMs;
};

NodeServiceOptions serviceOptionsFrom(const NodeConfig &config);

// One log line as it may be written: callsigns and chat text come from strangers, and a control
// character (escape sequences, CR, a line break) would rewrite the terminal, forge a line, or
// make journald hide the whole line as binary. A line break or tab becomes a space, any other
// control character "?".
QString printableLogLine(const QString &text);

class NodeService : public QObject {
    Q_OBJECT
public:
    using Log = std::function<void(const QString &)>;

    NodeService(NodeServiceOptions options, EchoLinkClient &link, RigController &rig, Log log,
                QObject *parent = nullptr);

    // Unkeys the rig (whatever a previous run left) and starts polling it.
    void start();
    // Unkeys and stops; `done` runs once the unkey has been answered (released) or has failed
    // (`error` says why: the transmitter may still be keyed).
    void stop(std::function<void(bool released, const QString &error)> done);

    bool keyed() const { return keyed_; }
    bool sending() const { return sending_; }
    std::optional<RigReading> lastReading() const { return reading_; }

    // Longest chat line the node reads; longer ones are nobody's command.
    static constexpr int kMaxCommandLine = 1024;
    // Refused senders remembered at most, and the refusals one link may cause in the chat
    // within kRefusalWindowMs.
    static constexpr int kMaxRefusedRemembered = 64;
    static constexpr int kRefusalsPerWindow = 3;
    static constexpr qint64 kRefusalWindowMs = 60000;

public Q_SLOTS:
    void hearChat(const QString &line);
    void linkReceiving(bool receiving);
    void stationConnected(const QString &callsign);
    void checkLinks();
    void pollRig();
    void transmitTimedOut();
    // The squelch on the rig's received audio: while open, that audio goes over the link.
    void receiverSquelch(bool open);

private:
    bool mayControl(const QString &callsign) const;
    bool allLinkedMayControl() const;
    void reply(const QString &text);
    void report(const RigOutcome &outcome);
    void reportFrequency();
    void refuseFrequency(const QString &text);
    void sayFault(const QString &error);
    void setFrequency(qint64 hz, const QString &asked);
    void tune(qint64 hz);
    void updateKey(const QString &why);
    QString whyNotKeyed() const;
    void key(bool on, const QString &why);
    void updateSend(const QString &why);
    void rigFault(const QString &text);
    void rigRecovered();
    void startOver();
    void refuseStranger(const QString &sender);
    void forgetLink(const QString &call);

    NodeServiceOptions options_;
    EchoLinkClient &link_;
    RigController &rig_;
    Log log_;
    QSet<QString> linked_;
    // Strangers told already that they may not control the node, oldest first, each with the
    // link it came through (empty: not known which).
    struct Refused {
        QString sender;
        QString link;
    };
    QList<Refused> refused_;
    // Refusals said in the chat per link (as in Refused::link) in the current window.
    struct RefusalWindow {
        qint64 startMs = 0;
        int said = 0;
        int held = 0; // refusals only logged in this window
    };
    QHash<QString, RefusalWindow> refusalWindows_;
    std::optional<RigReading> reading_;
    bool receiving_ = false;
    bool overTimedOut_ = false;
    bool keyed_ = false;
    bool unkeyOwed_ = false; // the last unkey (the start-up one at first) has not reached the rig
    bool keyFailed_ = false;  // keying failed in this over: not retried before the next
    QString unkeyError_;      // why the last unkey failed; empty once one went through
    QString lastFault_;       // the rig fault last heard of
    bool owedUnkeyRetried_ = false; // the owed unkey was tried again when the rig answered
    bool stopping_ = false;
    bool squelchOpen_ = false;
    bool holdReceiver_ = false; // " CPT?": quiet until the squelch closes
    bool sending_ = false;
    QString faultSaid_; // the rig fault the chat heard in this turn of the event loop
    QString notKeyedSaid_; // why an operator's voice does not key the rig, as the chat last heard it
    bool tuning_ = false;                // a frequency is being set
    std::optional<qint64> nextFrequency_; // the newest "FN" asked for meanwhile
    bool readingBusy_ = false;          // an "FR?" read is on its way
    bool strengthBusy_ = false;          // an "SR?" read is on its way
    QTimer transmitTimer_;
    QTimer pollTimer_;
    QTimer linkTimer_;
    QTimer startTimer_; // the start-up grace
    bool starting_ = false;       // within the start-up grace
    bool waitingForRig_ = false;  // the rig has failed since the start, not yet reported as a fault
};

} // namespace tavrin::node
