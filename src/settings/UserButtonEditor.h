#pragma once
// The user-button editor "Form1" ("User Define Buttons"): twelve rows of caption (Text k,
// at most 13 typed characters) and command text (Text k a). Typing changes the button data
// at once; "Save" (Command1) writes "TVRbuttons.ini", "Hide" (Command2) only hides. Timer1
// runs from creation and every second hands the twelve captions to whoever shows the user
// buttons (the main window), so an edit shows there within a second, saved or not.
// Closing with the title-bar button hides the window and re-reads the file, dropping
// unsaved edits; the timer keeps running.
// The constructor reads no file; the owner calls reload() when the program loads its windows.
// The program has the fields built on first use: when the window is first shown or a control
// of it is looked up (ensureBuilt()). Until then the data is read, kept, saved and handed out
// by Timer1 as ever.
//
// Thread: user-interface thread. Owns the button data; does not own the store.

#include "settings/UserButtons.h"
#include "ui/ControlsBuilt.h"
#include "ui/KeptStatus.h"

#include <QList>
#include <QWidget>

class QLabel;
class QLineEdit;
class QTimer;

namespace tavrin {

class UserButtonEditor : public QWidget {
    Q_OBJECT
public:
    using Fields = ControlsBuilt;
    explicit UserButtonEditor(ProfileStore &store, Fields fields = Fields::Now, QWidget *parent = nullptr);

    // Builds the fields if they are not there yet.
    Q_INVOKABLE void ensureBuilt();
    void setVisible(bool visible) override;

    UserButtons &buttons() { return buttons_; }
    const UserButtons &buttons() const { return buttons_; }

    // Writes all 24 keys in one batch; the status line shows the outcome.
    SaveResult SaveData();
    // Re-reads the file into the data and the fields.
    void reload();

    QTimer *refreshTimer() const { return timer1_; }

public slots:
    void Timer1_Timer();

signals:
    // Timer1's tick: the captions of buttons 1 ... 12, in that order.
    void captionsRefreshed(const QStringList &captions);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void refreshFields();
    void clearSaved(); // after an edit, "Saved." no longer holds
    void showStatus(const QString &text, bool failure);
    void clearStatus();

    ProfileStore &store_;
    UserButtons buttons_;
    QList<QLineEdit *> captionEdits_; // Text1 ... Text12
    QList<QLineEdit *> commandEdits_; // Text1a ... Text12a
    QLabel *statusLine_ = nullptr;
    KeptStatus status_; // what the status line says, or will say once built
    QTimer *timer1_ = nullptr;
};

} // namespace tavrin
