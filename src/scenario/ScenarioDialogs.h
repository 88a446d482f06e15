#pragma once
// Message boxes in scenario mode: every box is recorded and answered at once, never left
// waiting for a person. The answer is the next one queued by an `answer` step; without one,
// the box gets OK when it offers OK, else Yes, else its first button.
//
// Thread: user-interface thread.

#include "ui/Dialogs.h"

#include <QList>
#include <QString>

#include <optional>

namespace tavrin::scenario {

class ScenarioDialogs final : public Dialogs {
public:
    struct Shown {
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton answer = QMessageBox::NoButton;
    };

    QMessageBox::StandardButton message(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                        const QString &text, QMessageBox::StandardButtons buttons) override;

    // Queues the answer for the next box; `line` names the step for a mismatch report.
    void queueAnswer(QMessageBox::StandardButton answer, int line);

    const QList<Shown> &shown() const { return shown_; }

    // Set when a queued answer was not among the buttons of the box it met.
    struct Mismatch {
        int line = 0;
        QString expected;
        QString got;
    };
    const std::optional<Mismatch> &mismatch() const { return mismatch_; }

    static QString buttonName(QMessageBox::StandardButton button);
    static QMessageBox::StandardButton defaultAnswer(QMessageBox::StandardButtons buttons);

private:
    struct Queued {
        QMessageBox::StandardButton answer;
        int line;
    };
    QList<Queued> answers_;
    QList<Shown> shown_;
    std::optional<Mismatch> mismatch_;
};

} // namespace tavrin::scenario
