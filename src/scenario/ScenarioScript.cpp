#include "scenario/ScenarioScript.h"

#include "scenario/KeyNames.h"

#include <QRegularExpression>

#include <functional>

namespace tavrin::scenario {

namespace {

constexpr QChar kQuote = u'"';
constexpr QChar kEscape = u'\\';
constexpr QChar kComment = u'#';
constexpr char kStartStep[] = "start";

// When a step may run: only while preparing (before start), only on the running program,
// or either.
enum class Phase { Prepare, Run, Any };

struct StepRule {
    const char *name;
    int minArgs;
    int maxArgs;
    Phase phase;
    // Extra check of the words; returns an error message or an empty string.
    std::function<QString(const QStringList &)> check;
};

QString oneOf(const QString &word, const QStringList &choices, const QString &what)
{
    for (const QString &c : choices)
        if (word.compare(c, Qt::CaseInsensitive) == 0)
            return {};
    return QStringLiteral("%1 must be one of %2, not \"%3\"").arg(what, choices.join(QStringLiteral(", ")), word);
}

QString onOff(const QStringList &args)
{
    return oneOf(args.at(0), {QStringLiteral("on"), QStringLiteral("off")}, QStringLiteral("the state"));
}

QString wholeNumber(const QString &word, qint64 min, qint64 max, const QString &what)
{
    bool ok = false;
    const qint64 n = word.toLongLong(&ok);
    if (!ok || n < min || n > max)
        return QStringLiteral("%1 must be a whole number from %2 to %3, not \"%4\"").arg(what).arg(min).arg(max).arg(word);
    return {};
}

QString checkEvent(const QStringList &args)
{
    const QString kind = args.at(0).toLower();
    const int extra = int(args.size()) - 1;
    if (kind == QLatin1String("chat") || kind == QLatin1String("station-text") || kind == QLatin1String("connected")) {
        if (extra != 1)
            return QStringLiteral("event %1 takes one word after it").arg(kind);
        return {};
    }
    if (kind == QLatin1String("rx")) {
        if (extra != 1)
            return QStringLiteral("event rx takes on or off");
        return onOff(args.mid(1));
    }
    if (kind == QLatin1String("closing"))
        return extra == 0 ? QString() : QStringLiteral("event closing takes nothing after it");
    return oneOf(kind, {QStringLiteral("chat"), QStringLiteral("station-text"), QStringLiteral("rx"),
                        QStringLiteral("connected"), QStringLiteral("closing")},
                 QStringLiteral("the event"));
}

QString checkExpect(const QStringList &args)
{
    static const QStringList properties = {QStringLiteral("text"),    QStringLiteral("visible"),
                                           QStringLiteral("enabled"), QStringLiteral("checked"),
                                           QStringLiteral("caption"), QStringLiteral("color"),
                                           QStringLiteral("backcolor")};
    const QString property = args.at(1).toLower();
    if (QString e = oneOf(property, properties, QStringLiteral("the property")); !e.isEmpty())
        return e;
    const QString &value = args.at(2);
    if (property == QLatin1String("visible") || property == QLatin1String("enabled")
        || property == QLatin1String("checked")) {
        if (!parseFlag(value))
            return QStringLiteral("%1 expects true or false, not \"%2\"").arg(property, value);
    }
    if (property == QLatin1String("color") || property == QLatin1String("backcolor")) {
        static const QRegularExpression colour(QStringLiteral("^#[0-9A-Fa-f]{6}$"));
        if (!colour.match(value).hasMatch())
            return QStringLiteral("a colour is written #rrggbb, not \"%1\"").arg(value);
    }
    return {};
}

const QList<StepRule> &rules()
{
    static const QList<StepRule> table = {
        {kStartStep, 0, 0, Phase::Prepare, nullptr},
        {"local", 1, 1, Phase::Prepare, nullptr},
        {"no-client", 0, 0, Phase::Prepare, nullptr},
        {"setting", 3, 3, Phase::Any, nullptr},
        {"link", 1, 1, Phase::Any, nullptr},
        {"unlink", 1, 1, Phase::Any, nullptr},
        {"transmitting", 1, 1, Phase::Any, onOff},
        {"node", 1, 1, Phase::Any,
         [](const QStringList &a) {
             return oneOf(a.at(0), {QStringLiteral("quiet"), QStringLiteral("active")}, QStringLiteral("the node"));
         }},
        {"activity", 1, 1, Phase::Any, onOff},
        {"answer", 1, 1, Phase::Any,
         [](const QStringList &a) {
             return oneOf(a.at(0), {QStringLiteral("Yes"), QStringLiteral("No"), QStringLiteral("OK")},
                          QStringLiteral("the answer"));
         }},
        {"click", 1, 1, Phase::Run, nullptr},
        {"close", 1, 1, Phase::Run, nullptr},
        {"type", 2, 2, Phase::Run, nullptr},
        {"key", 2, 2, Phase::Run,
         [](const QStringList &a) {
             return keyFromName(a.at(1)) ? QString() : QStringLiteral("unknown key \"%1\"").arg(a.at(1));
         }},
        {"event", 1, 2, Phase::Run, checkEvent},
        {"tick", 1, 2, Phase::Run,
         [](const QStringList &a) {
             return a.size() < 2 ? QString() : wholeNumber(a.at(1), 1, 100000, QStringLiteral("the tick count"));
         }},
        {"wait", 1, 1, Phase::Run,
         [](const QStringList &a) { return wholeNumber(a.at(0), 0, 600000, QStringLiteral("the wait")); }},
        {"expect", 3, 3, Phase::Run, checkExpect},
        {"expect-sent", 1, 1, Phase::Run, nullptr},
        {"expect-nothing-sent", 0, 0, Phase::Run, nullptr},
        {"expect-call", 1, 2, Phase::Run, nullptr},
        {"expect-no-call", 1, 2, Phase::Run, nullptr},
        {"expect-message", 1, 1, Phase::Run, nullptr},
        {"expect-setting", 3, 3, Phase::Any, nullptr},
        {"expect-no-file", 1, 1, Phase::Any, nullptr},
        {"screenshot", 2, 2, Phase::Run, nullptr},
    };
    return table;
}

const StepRule *ruleFor(const QString &name)
{
    for (const StepRule &r : rules())
        if (name == QLatin1String(r.name))
            return &r;
    return nullptr;
}

// Checks one step against its rule; `started` tells whether the program runs by then.
QString checkStep(const Step &step, const StepRule &rule, bool started)
{
    const int n = int(step.args.size());
    if (n < rule.minArgs || n > rule.maxArgs) {
        if (rule.minArgs == rule.maxArgs)
            return QStringLiteral("%1 takes %2 word(s) after it, not %3").arg(step.name).arg(rule.minArgs).arg(n);
        return QStringLiteral("%1 takes %2 to %3 words after it, not %4")
            .arg(step.name)
            .arg(rule.minArgs)
            .arg(rule.maxArgs)
            .arg(n);
    }
    if (rule.phase == Phase::Prepare && started)
        return QStringLiteral("%1 must come before the program starts").arg(step.name);
    if (rule.phase == Phase::Run && !started)
        return QStringLiteral("%1 needs the running program: put it after start").arg(step.name);
    if (rule.check)
        return rule.check(step.args);
    return {};
}

} // namespace

QString ScriptError::toString() const
{
    return line > 0 ? QStringLiteral("line %1: %2").arg(line).arg(message) : message;
}

bool splitWords(const QString &line, QStringList *words, QString *error)
{
    words->clear();
    const qsizetype n = line.size();
    qsizetype i = 0;
    auto isBlank = [&](qsizetype at) { return at >= n || line.at(at).isSpace(); };
    while (i < n) {
        while (i < n && line.at(i).isSpace())
            ++i;
        if (i >= n)
            break;
        // "#" opens a comment only as a word of its own ("# note", or a whole-line "#..."),
        // so colour values such as #ff0000 stay words.
        if (line.at(i) == kComment && (words->isEmpty() || isBlank(i + 1)))
            break;
        if (line.at(i) == kQuote) {
            QString word;
            ++i;
            bool closed = false;
            while (i < n) {
                const QChar c = line.at(i);
                if (c == kEscape) {
                    if (i + 1 >= n || (line.at(i + 1) != kQuote && line.at(i + 1) != kEscape)) {
                        *error = i + 1 >= n ? QStringLiteral("a backslash ends the line")
                                            : QStringLiteral("unknown escape \\%1 (only \\\" and \\\\)").arg(line.at(i + 1));
                        return false;
                    }
                    word += line.at(i + 1);
                    i += 2;
                    continue;
                }
                if (c == kQuote) {
                    closed = true;
                    ++i;
                    break;
                }
                word += c;
                ++i;
            }
            if (!closed) {
                *error = QStringLiteral("a quoted word is not closed");
                return false;
            }
            if (!isBlank(i)) {
                *error = QStringLiteral("a closing quote must be followed by a blank");
                return false;
            }
            words->append(word);
            continue;
        }
        const qsizetype start = i;
        while (i < n && !line.at(i).isSpace()) {
            if (line.at(i) == kQuote) {
                *error = QStringLiteral("a quote inside a word (quote the whole word)");
                return false;
            }
            ++i;
        }
        words->append(line.mid(start, i - start));
    }
    return true;
}

std::optional<bool> parseFlag(const QString &word)
{
    static const QStringList yes = {QStringLiteral("on"), QStringLiteral("true"), QStringLiteral("yes"),
                                    QStringLiteral("1")};
    static const QStringList no = {QStringLiteral("off"), QStringLiteral("false"), QStringLiteral("no"),
                                   QStringLiteral("0")};
    if (yes.contains(word, Qt::CaseInsensitive))
        return true;
    if (no.contains(word, Qt::CaseInsensitive))
        return false;
    return std::nullopt;
}

std::optional<Script> parseScript(const QString &text, ScriptError *error)
{
    QString body = text;
    if (body.startsWith(QChar(0xFEFF)))
        body.remove(0, 1);
    const QStringList lines = body.split(u'\n');

    QList<Step> steps;
    int startLine = -1;
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines.at(i);
        if (line.endsWith(u'\r'))
            line.chop(1);
        QStringList words;
        QString message;
        if (!splitWords(line, &words, &message)) {
            *error = {i + 1, message};
            return std::nullopt;
        }
        if (words.isEmpty())
            continue;
        Step step{i + 1, words.takeFirst(), words};
        if (!ruleFor(step.name)) {
            *error = {i + 1, QStringLiteral("unknown step \"%1\"").arg(step.name)};
            return std::nullopt;
        }
        if (step.name == QLatin1String(kStartStep)) {
            if (startLine >= 0) {
                *error = {i + 1, QStringLiteral("start appears twice (first on line %1)").arg(startLine)};
                return std::nullopt;
            }
            startLine = i + 1;
        }
        steps.append(step);
    }

    Script script;
    if (startLine < 0) {
        // Without a start line the program starts before the first step.
        steps.prepend(Step{0, QString::fromLatin1(kStartStep), {}});
    }
    bool started = false;
    for (int i = 0; i < steps.size(); ++i) {
        const Step &step = steps.at(i);
        const bool isStart = step.name == QLatin1String(kStartStep);
        const QString message = checkStep(step, *ruleFor(step.name), started);
        if (!message.isEmpty()) {
            *error = {step.line, message};
            return std::nullopt;
        }
        if (isStart) {
            script.startIndex = i;
            started = true;
        }
    }
    script.steps = steps;
    return script;
}

} // namespace tavrin::scenario
