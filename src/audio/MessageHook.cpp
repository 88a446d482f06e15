#include "audio/MessageHook.h"

#include <QMessageBox>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <syslog.h>
#endif

#include <algorithm>
#include <utility>

namespace tavrin {

namespace {

constexpr char kInvalidHandle[] = "Invalid window handle";
constexpr char kOtherProcess[] = "Window handle belongs to another process";
constexpr char kNoCallback[] = "Callback method not found";
constexpr char kAlreadyHooked[] = "Window handle is already subclassed";
constexpr char kNotHooked[] = "Window handle isn't subclassed";
constexpr char kNotStarted[] = "Subclassing hasn't been started";
constexpr char kOverflow[] = "Message table overflow. Either increase the value of Const MSG_ENTRIES or use "
                             "ALL_MESSAGES instead of specific message values";
constexpr char kErrorTitle[] = "Error in ";

SystemReportSink &systemSink()
{
    static SystemReportSink sink;
    return sink;
}

HookReportSink *g_defaultSink = nullptr;

} // namespace

QEvent::Type HookMessageEvent::eventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

int hookMessageNumber(const QEvent *event)
{
    if (event->type() == HookMessageEvent::eventType())
        return static_cast<const HookMessageEvent *>(event)->message();
    return static_cast<int>(event->type());
}

void SystemReportSink::report(const QString &className, const QString &routine, const QString &message)
{
    const QString source = className + QLatin1Char('.') + routine;
    const QByteArray line = (source + QStringLiteral(": ") + message).toUtf8();
#ifdef Q_OS_WIN
    // The application event log, under our product name.
    if (HANDLE log = RegisterEventSourceW(nullptr, L"Tavrin")) {
        const std::wstring text = QString::fromUtf8(line).toStdWString();
        LPCWSTR strings[] = {text.c_str()};
        ReportEventW(log, EVENTLOG_ERROR_TYPE, 0, 0, nullptr, 1, 0, strings, nullptr);
        DeregisterEventSource(log);
    }
#else
    syslog(LOG_ERR, "%s", line.constData());
#endif
    if (!showBox)
        return;
    // Non-modal: the report may come from inside a buffer notification.
    auto *box = new QMessageBox(QMessageBox::Warning, QString::fromLatin1(kErrorTitle) + source,
                                message + QLatin1Char('.'), QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

HookReportSink &defaultHookReportSink()
{
    return g_defaultSink ? *g_defaultSink : systemSink();
}

void setDefaultHookReportSink(HookReportSink *sink)
{
    g_defaultSink = sink;
}

bool MessageHook::Table::matches(int message) const
{
    if (count == kAllMessages)
        return true;
    return std::find(entries.begin(), entries.begin() + count, message) != entries.begin() + count;
}

MessageHook::MessageHook(QString className, QObject *parent) : QObject(parent), className_(std::move(className))
{
}

MessageHook::~MessageHook()
{
    for (const auto &h : hooked_)
        if (h->target)
            h->target->removeEventFilter(this);
}

void MessageHook::report(const char *routine, const QString &message)
{
    HookReportSink &sink = sink_ ? *sink_ : defaultHookReportSink();
    sink.report(className_, QString::fromLatin1(routine), message);
}

const MessageHook::Hooked *MessageHook::find(const QObject *target) const
{
    for (const auto &h : hooked_)
        if (h->key == target && h->target)
            return h.get();
    return nullptr;
}

bool MessageHook::isHooked(const QObject *target) const
{
    return target && find(target);
}

bool MessageHook::sc_Subclass(QObject *target, Handler handler, qintptr user)
{
    constexpr char routine[] = "sc_Subclass";
    if (!target) {
        report(routine, QString::fromLatin1(kInvalidHandle));
        return false;
    }
    // An object of another thread is out of reach, as a window of another process would be.
    if (target->thread() != thread()) {
        report(routine, QString::fromLatin1(kOtherProcess));
        return false;
    }
    if (!handler) {
        report(routine, QString::fromLatin1(kNoCallback));
        return false;
    }
    if (find(target)) {
        report(routine, QString::fromLatin1(kAlreadyHooked));
        return false;
    }
    // Drop entries whose object has gone away.
    hooked_.erase(std::remove_if(hooked_.begin(), hooked_.end(), [](const auto &h) { return !h->target; }),
                  hooked_.end());
    auto hooked = std::make_unique<Hooked>();
    hooked->target = target;
    hooked->key = target;
    hooked->handler = std::move(handler);
    hooked->user = user;
    hooked_.push_back(std::move(hooked));
    started_ = true;
    target->installEventFilter(this);
    return true;
}

bool MessageHook::sc_UnSubclass(QObject *target)
{
    if (!started_) {
        report("sc_UnSubclass", QString::fromLatin1(kNotHooked));
        return false;
    }
    Hooked *h = zMap_hWnd(target);
    if (!h)
        return false;
    h->before = {};
    h->after = {};
    target->removeEventFilter(this);
    hooked_.erase(std::find_if(hooked_.begin(), hooked_.end(), [h](const auto &p) { return p.get() == h; }));
    return true;
}

MessageHook::Hooked *MessageHook::zMap_hWnd(const QObject *target)
{
    if (!started_) {
        report("zMap_hWnd", QString::fromLatin1(kNotStarted));
        return nullptr;
    }
    auto *h = const_cast<Hooked *>(find(target));
    if (!h)
        report("zMap_hWnd", QString::fromLatin1(kNotHooked));
    return h;
}

void MessageHook::add(Table &table, int message, MessageHook &self)
{
    if (message == kAllMessages) {
        table.count = kAllMessages;
        return;
    }
    if (table.count == kAllMessages || table.matches(message))
        return;
    // A freed entry is reused before the table grows.
    auto freed = std::find(table.entries.begin(), table.entries.begin() + table.count, 0);
    if (freed != table.entries.begin() + table.count) {
        *freed = message;
        return;
    }
    if (table.count >= kMessageEntries) {
        self.report("zAddMsg", QString::fromLatin1(kOverflow));
        return;
    }
    table.entries.at(table.count++) = message;
}

void MessageHook::remove(Table &table, int message, MessageHook &self)
{
    if (message == kAllMessages) {
        table = {};
        return;
    }
    if (table.count != kAllMessages && message != 0) {
        auto it = std::find(table.entries.begin(), table.entries.begin() + table.count, message);
        if (it != table.entries.begin() + table.count) {
            *it = 0;
            return;
        }
    }
    self.report("zDelMsg", QStringLiteral("Message &H") + QString::number(static_cast<uint>(message), 16).toUpper()
                               + QStringLiteral(" not found in table"));
}

void MessageHook::zAddMsg(QObject *target, int message, When when)
{
    if (Hooked *h = zMap_hWnd(target))
        add(when == When::Before ? h->before : h->after, message, *this);
}

void MessageHook::zDelMsg(QObject *target, int message, When when)
{
    if (Hooked *h = zMap_hWnd(target))
        remove(when == When::Before ? h->before : h->after, message, *this);
}

int MessageHook::tableCount(const QObject *target, When when) const
{
    const Hooked *h = find(target);
    if (!h)
        return 0;
    return (when == When::Before ? h->before : h->after).count;
}

bool MessageHook::eventFilter(QObject *watched, QEvent *event)
{
    const Hooked *h = find(watched);
    if (!h)
        return QObject::eventFilter(watched, event);
    const int message = hookMessageNumber(event);
    qintptr wParam = 0;
    qintptr lParam = 0;
    if (event->type() == HookMessageEvent::eventType()) {
        const auto *m = static_cast<const HookMessageEvent *>(event);
        wParam = m->wParam();
        lParam = m->lParam();
    }
    const bool before = h->before.matches(message);
    const bool after = h->after.matches(message);
    if (!before && !after)
        return false;
    // The handler may unhook or delete things: work on copies, look the object up again.
    const Handler handler = h->handler;
    const qintptr user = h->user;
    QPointer<QObject> target(watched);
    if (before)
        handler(true, message, wParam, lParam, user);
    if (!after)
        return false; // the object's own handling follows as usual
    if (target)
        static_cast<QObject *>(target.data())->event(event);
    if (target && find(target) && find(target)->after.matches(message))
        handler(false, message, wParam, lParam, user);
    return true;
}

} // namespace tavrin
