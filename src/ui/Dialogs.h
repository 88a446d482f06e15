#pragma once
// Message boxes go through this interface, so scenario runs and tests can record them and
// answer them without a modal loop waiting for a person.
//
// Thread: user-interface thread.

#include <QMessageBox>
#include <QString>
#include <QWidget>

namespace tavrin {

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Shows a message box and returns the button the user chose.
    virtual QMessageBox::StandardButton message(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                                const QString &text, QMessageBox::StandardButtons buttons) = 0;

    void info(QWidget *parent, const QString &title, const QString &text)
    {
        message(parent, QMessageBox::Information, title, text, QMessageBox::Ok);
    }
    void warning(QWidget *parent, const QString &title, const QString &text)
    {
        message(parent, QMessageBox::Warning, title, text, QMessageBox::Ok);
    }
    bool askYesNo(QWidget *parent, const QString &title, const QString &text)
    {
        return message(parent, QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No)
            == QMessageBox::Yes;
    }
};

// The real thing: a modal QMessageBox.
class WidgetDialogs final : public Dialogs {
public:
    QMessageBox::StandardButton message(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                        const QString &text, QMessageBox::StandardButtons buttons) override
    {
        QMessageBox box(icon, title, text, buttons, parent);
        return static_cast<QMessageBox::StandardButton>(box.exec());
    }
};

} // namespace tavrin
