#pragma once
// The whole program built through the composition root with the fake client, and quick
// access to the chat window's controls and the main window's copies.

#include "core/CoreTestKit.h"
#include "messaging/ChatWindow.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBlock>
#include <QTextDocument>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>

namespace tavrin::test {

struct ChatRig {
    ChatRig() : rig(dir.path()) { started = rig.start(); }
    explicit ChatRig(const QString &settingsDir) : rig(settingsDir) { started = rig.start(); }

    messaging::ChatWindow *chat() { return rig.program().registry().get<messaging::ChatWindow>(QStringLiteral("Messages")); }
    // Looked up as the scenario runner does: the window's controls are built first.
    template <class T>
    T *in(const QString &name)
    {
        T *found = rig.program().registry().control<T>(QStringLiteral("Messages"), name);
        if (!found)
            qWarning("no chat control %s", qPrintable(name));
        return found;
    }
    template <class T>
    T *inMain(const QString &name) { return rig.window()->findChild<T *>(name); }

    QPlainTextEdit *chatBox() { return in<QPlainTextEdit>(QStringLiteral("RTB")); }
    QString chatText() { return chatBox()->toPlainText(); }
    QString mainLog() { return inMain<QPlainTextEdit>(QStringLiteral("RTB2"))->toPlainText(); }
    QTextEdit *lastLine() { return inMain<QTextEdit>(QStringLiteral("RTB")); }
    QTimer *mainTimer1() { return inMain<QTimer>(QStringLiteral("Timer1")); }
    QString privateLog() { return in<QTextEdit>(QStringLiteral("Text3"))->toPlainText(); }
    void click(const QString &name) { in<QAbstractButton>(name)->click(); }
    void type(const QString &name, const QString &text) { in<QLineEdit>(name)->setText(text); }
    void enter(const QString &name) { emit in<QLineEdit>(name)->returnPressed(); }
    // Lines the chat window (or anyone) sent on the chat channel.
    QStringList sent() { return rig.backend.sent(); }

    QTemporaryDir dir;
    Rig rig;
    bool started = false;
};

// The pictures in a document, by resource name, in document order.
inline QStringList picturesIn(const QTextDocument *doc)
{
    QStringList names;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            if (f.isImageFormat())
                names.append(f.toImageFormat().name());
        }
    }
    return names;
}

} // namespace tavrin::test
