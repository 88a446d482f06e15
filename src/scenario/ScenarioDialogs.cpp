#include "scenario/ScenarioDialogs.h"

#include <QStringList>

namespace tavrin::scenario {

namespace {

QString buttonList(QMessageBox::StandardButtons buttons)
{
    QStringList names;
    for (unsigned bit = QMessageBox::FirstButton; bit <= QMessageBox::LastButton; bit <<= 1)
        if (buttons.testFlag(QMessageBox::StandardButton(bit)))
            names << ScenarioDialogs::buttonName(QMessageBox::StandardButton(bit));
    return names.isEmpty() ? QStringLiteral("no buttons") : names.join(QStringLiteral(", "));
}

} // namespace

QMessageBox::StandardButton ScenarioDialogs::message(QWidget *, QMessageBox::Icon, const QString &title,
                                                     const QString &text, QMessageBox::StandardButtons buttons)
{
    QMessageBox::StandardButton answer = defaultAnswer(buttons);
    if (!answers_.isEmpty()) {
        const Queued queued = answers_.takeFirst();
        if (buttons.testFlag(queued.answer)) {
            answer = queued.answer;
        } else if (!mismatch_) {
            mismatch_ = Mismatch{queued.line,
                                 QStringLiteral("a message box with %1").arg(buttonName(queued.answer)),
                                 QStringLiteral("\"%1\" with %2").arg(text, buttonList(buttons))};
        }
    }
    shown_.append({title, text, buttons, answer});
    return answer;
}

void ScenarioDialogs::queueAnswer(QMessageBox::StandardButton answer, int line)
{
    answers_.append({answer, line});
}

QString ScenarioDialogs::buttonName(QMessageBox::StandardButton button)
{
    switch (button) {
    case QMessageBox::Ok:
        return QStringLiteral("OK");
    case QMessageBox::Yes:
        return QStringLiteral("Yes");
    case QMessageBox::No:
        return QStringLiteral("No");
    case QMessageBox::Cancel:
        return QStringLiteral("Cancel");
    default:
        return QStringLiteral("button 0x%1").arg(unsigned(button), 0, 16);
    }
}

QMessageBox::StandardButton ScenarioDialogs::defaultAnswer(QMessageBox::StandardButtons buttons)
{
    if (buttons.testFlag(QMessageBox::Ok))
        return QMessageBox::Ok;
    if (buttons.testFlag(QMessageBox::Yes))
        return QMessageBox::Yes;
    for (unsigned bit = QMessageBox::FirstButton; bit <= QMessageBox::LastButton; bit <<= 1)
        if (buttons.testFlag(QMessageBox::StandardButton(bit)))
            return QMessageBox::StandardButton(bit);
    // A box without buttons still closes with OK, as QMessageBox adds one.
    return QMessageBox::Ok;
}

} // namespace tavrin::scenario
