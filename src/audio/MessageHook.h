#pragma once
// The message-hook facility: hooks a notification object so that chosen "window messages"
// reach an owner's handler before and/or after the object's own event handling.
//
// A hooked object has two message tables (before and after) of up to 32 message numbers each;
// the marker -1 in a table matches every message. Failures are reported, never thrown: each
// report names the owning class and the routine ("WaveInRecorder.zAddMsg") and goes to a
// HookReportSink. The default sink writes the system log and shows a non-modal warning box;
// tests install their own sink and read the reports.
//
// Thread: user-interface thread only. Owns its tables; never owns the hooked objects.

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <vector>

namespace tavrin {

// The event that carries a numbered message to a hooked object.
class HookMessageEvent : public QEvent {
public:
    HookMessageEvent(int message, qintptr wParam, qintptr lParam)
        : QEvent(eventType()), message_(message), wParam_(wParam), lParam_(lParam)
    {
    }
    static QEvent::Type eventType();
    int message() const { return message_; }
    qintptr wParam() const { return wParam_; }
    qintptr lParam() const { return lParam_; }

private:
    int message_;
    qintptr wParam_;
    qintptr lParam_;
};

class HookReportSink {
public:
    virtual ~HookReportSink() = default;
    // className "WaveInRecorder", routine "zAddMsg", message without the final ".".
    virtual void report(const QString &className, const QString &routine, const QString &message) = 0;
};

// Writes "Class.routine: message" to syslog and shows "message." in a warning box titled
// "Error in Class.routine". The box is non-modal so that a report never re-enters the event loop.
class SystemReportSink final : public HookReportSink {
public:
    void report(const QString &className, const QString &routine, const QString &message) override;
    // Off in unit tests that check the log line only; on in the program.
    bool showBox = true;
};

// Process-wide default sink (the system one unless replaced); never null.
HookReportSink &defaultHookReportSink();
void setDefaultHookReportSink(HookReportSink *sink); // nullptr restores the system sink

class MessageHook : public QObject {
    Q_OBJECT
public:
    static constexpr int kMessageEntries = 32;
    static constexpr int kAllMessages = -1;
    enum class When { Before, After };
    // The owner's handler: (before?, message, wParam, lParam, user value).
    using Handler = std::function<void(bool before, int message, qintptr wParam, qintptr lParam, qintptr user)>;

    explicit MessageHook(QString className, QObject *parent = nullptr);
    ~MessageHook() override;

    void setReportSink(HookReportSink *sink) { sink_ = sink; }

    // sc_Subclass: hooks `target` with `handler`. False (and a report) when it cannot.
    bool sc_Subclass(QObject *target, Handler handler, qintptr user = 0);
    // sc_UnSubclass: empties the tables and releases the object.
    bool sc_UnSubclass(QObject *target);
    bool isHooked(const QObject *target) const;

    // zAddMsg / zDelMsg on the before- or after-table of a hooked object.
    void zAddMsg(QObject *target, int message, When when);
    void zDelMsg(QObject *target, int message, When when);
    // How many entries a table uses (freed ones included), or -1 in "all messages" mode.
    int tableCount(const QObject *target, When when) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Table {
        std::array<int, kMessageEntries> entries{};
        int count = 0; // kAllMessages: matches everything
        bool matches(int message) const;
    };
    struct Hooked {
        QPointer<QObject> target;
        const QObject *key = nullptr;
        Handler handler;
        qintptr user = 0;
        Table before;
        Table after;
    };

    Hooked *zMap_hWnd(const QObject *target);
    const Hooked *find(const QObject *target) const;
    void report(const char *routine, const QString &message);
    static void add(Table &table, int message, MessageHook &self);
    static void remove(Table &table, int message, MessageHook &self);

    QString className_;
    HookReportSink *sink_ = nullptr;
    bool started_ = false; // anything ever hooked
    std::vector<std::unique_ptr<Hooked>> hooked_;
};

// Message number of an event for table matching: its own number for a HookMessageEvent,
// the event type otherwise.
int hookMessageNumber(const QEvent *event);

} // namespace tavrin
