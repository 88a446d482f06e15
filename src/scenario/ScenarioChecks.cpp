// The steps of a scenario that drive controls and judge expectations.

#include "scenario/LinePattern.h"
#include "scenario/ScenarioRunner.h"

#include <QFileInfo>

namespace tavrin::scenario {

namespace {

constexpr int kCallSummaryLimit = 12;

QString quoted(const QString &text) { return u'"' + text + u'"'; }

QString callText(const RecordedCall &call)
{
    return call.argument.isEmpty() ? call.operation : call.operation + u' ' + call.argument;
}

bool callMatches(const RecordedCall &call, const Step &step)
{
    if (call.operation.compare(step.args.at(0), Qt::CaseInsensitive) != 0)
        return false;
    return step.args.size() < 2 || call.argument == step.args.at(1);
}

// The distinct calls from `from` on, for a failure report; polling calls repeat a lot.
QString callSummary(const QList<RecordedCall> &calls, qsizetype from)
{
    QStringList seen;
    for (qsizetype i = from; i < calls.size(); ++i) {
        const QString text = callText(calls.at(i));
        if (!seen.contains(text))
            seen << text;
    }
    if (seen.isEmpty())
        return QStringLiteral("no calls");
    const bool more = seen.size() > kCallSummaryLimit;
    seen = seen.mid(0, kCallSummaryLimit);
    return QStringLiteral("calls %1%2").arg(seen.join(QStringLiteral(", ")), more ? QStringLiteral(", ...") : QString());
}

} // namespace

Outcome ScenarioRunner::doClick(const Step &step)
{
    ControlRef ref;
    if (Outcome found = probe_.find(step.args.at(0), &ref); !found.ok)
        return found;
    return probe_.click(ref);
}

Outcome ScenarioRunner::doClose(const Step &step)
{
    ControlRef ref;
    if (Outcome found = probe_.find(step.args.at(0), &ref); !found.ok)
        return found;
    return probe_.close(ref);
}

Outcome ScenarioRunner::doType(const Step &step)
{
    ControlRef ref;
    if (Outcome found = probe_.find(step.args.at(0), &ref); !found.ok)
        return found;
    return probe_.type(ref, step.args.at(1));
}

Outcome ScenarioRunner::doKey(const Step &step)
{
    ControlRef ref;
    if (Outcome found = probe_.find(step.args.at(0), &ref); !found.ok)
        return found;
    return probe_.pressKey(ref, *keyFromName(step.args.at(1)));
}

Outcome ScenarioRunner::doTick(const Step &step)
{
    const int times = step.args.size() > 1 ? step.args.at(1).toInt() : 1;
    return probe_.tick(step.args.at(0), times);
}

Outcome ScenarioRunner::doScreenshot(const Step &step)
{
    ControlRef ref;
    if (Outcome found = probe_.find(step.args.at(0), &ref); !found.ok)
        return found;
    return probe_.screenshot(ref, step.args.at(1));
}

Outcome ScenarioRunner::doExpect(const Step &step)
{
    ControlRef ref;
    if (Outcome found = probe_.find(step.args.at(0), &ref); !found.ok)
        return found;
    const QString property = step.args.at(1).toLower();
    const QString &want = step.args.at(2);
    QString got;
    if (Outcome read = probe_.read(ref, property, &got); !read.ok)
        return read;

    bool same = false;
    if (auto flag = parseFlag(want); flag && (property == QLatin1String("visible") || property == QLatin1String("enabled")
                                              || property == QLatin1String("checked")))
        same = parseFlag(got) == flag;
    else if (property == QLatin1String("color") || property == QLatin1String("backcolor"))
        same = got.compare(want, Qt::CaseInsensitive) == 0;
    else
        same = got == want;
    if (!same)
        return Outcome::failure(QStringLiteral("%1 %2 %3").arg(step.args.at(0), property, quoted(want)), quoted(got));
    return Outcome::success();
}

Outcome ScenarioRunner::doExpectSent(const Step &step)
{
    const QStringList sent = link_->sentLines(options_.localCall);
    const QString expected = QStringLiteral("sent %1").arg(quoted(step.args.at(0)));
    if (sentMatched_ >= sent.size())
        return Outcome::failure(expected, QStringLiteral("nothing more sent"));
    const QString &line = sent.at(sentMatched_);
    if (!LinePattern(step.args.at(0)).matches(line))
        return Outcome::failure(expected, QStringLiteral("sent %1").arg(quoted(line)));
    ++sentMatched_;
    return Outcome::success();
}

Outcome ScenarioRunner::doExpectNothingSent(const Step &)
{
    const QStringList sent = link_->sentLines(options_.localCall);
    if (sentMatched_ < sent.size())
        return Outcome::failure(QStringLiteral("nothing more sent"),
                                QStringLiteral("sent %1").arg(quoted(sent.at(sentMatched_))));
    return Outcome::success();
}

Outcome ScenarioRunner::doExpectCall(const Step &step)
{
    const QList<RecordedCall> &calls = recording_->calls();
    for (qsizetype i = callsMatched_; i < calls.size(); ++i) {
        if (callMatches(calls.at(i), step)) {
            callsMatched_ = i + 1;
            return Outcome::success();
        }
    }
    return Outcome::failure(QStringLiteral("a call %1").arg(step.args.join(u' ')), callSummary(calls, callsMatched_));
}

Outcome ScenarioRunner::doExpectNoCall(const Step &step)
{
    const QList<RecordedCall> &calls = recording_->calls();
    for (qsizetype i = callsMatched_; i < calls.size(); ++i)
        if (callMatches(calls.at(i), step))
            return Outcome::failure(QStringLiteral("no call %1").arg(step.args.join(u' ')), callText(calls.at(i)));
    return Outcome::success();
}

Outcome ScenarioRunner::doExpectMessage(const Step &step)
{
    const auto &shown = dialogs_.shown();
    const QString expected = QStringLiteral("a message %1").arg(quoted(step.args.at(0)));
    if (messagesMatched_ >= shown.size())
        return Outcome::failure(expected, QStringLiteral("no more messages"));
    const QString &text = shown.at(messagesMatched_).text;
    if (text != step.args.at(0))
        return Outcome::failure(expected, QStringLiteral("the message %1").arg(quoted(text)));
    ++messagesMatched_;
    return Outcome::success();
}

Outcome ScenarioRunner::doExpectSetting(const Step &step)
{
    const QString &file = step.args.at(0);
    const QString &key = step.args.at(1);
    const QString expected = QStringLiteral("%1 %2 %3").arg(file, key, quoted(step.args.at(2)));
    if (!QFileInfo::exists(store_.pathOf(file)))
        return Outcome::failure(expected, QStringLiteral("no file %1").arg(file));
    const ProfileSnapshot snapshot = store_.load(file);
    if (!snapshot.contains(key))
        return Outcome::failure(expected, QStringLiteral("no key %1").arg(key));
    const QString value = snapshot.ReadSetting(key, QString());
    if (value != step.args.at(2))
        return Outcome::failure(expected, quoted(value));
    return Outcome::success();
}

Outcome ScenarioRunner::doExpectNoFile(const Step &step)
{
    if (QFileInfo::exists(store_.pathOf(step.args.at(0))))
        return Outcome::failure(QStringLiteral("no file %1").arg(step.args.at(0)), QStringLiteral("the file"));
    return Outcome::success();
}

} // namespace tavrin::scenario
