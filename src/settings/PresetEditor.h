#pragma once
// The editor window of one preset set ("Frequency Setup N", objectName "FormSetN"). It edits
// the set's fields in place as the operator types, so the main window uses an edit at once;
// "Save" writes the set's file, "Hide" only hides. Closing with the title-bar button hides
// the window and re-reads the set from its file, dropping unsaved edits.
// The constructor reads no file (the single-instance check comes first); the owner calls
// reload() when the program loads its windows.
// Its 127 fields cost more to build than the rest of start-up's hidden windows together, so
// the program has them built on first use: when the window is first shown or a control of it
// is looked up (ensureBuilt()). Until then the set itself is read, kept and saved as ever.
//
// Thread: user-interface thread. Does not own the set or the store.

#include "settings/PresetSet.h"
#include "settings/ProfileStore.h"
#include "ui/ControlsBuilt.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tavrin {

class PresetEditor : public QWidget {
    Q_OBJECT
public:
    using Fields = ControlsBuilt;
    PresetEditor(PresetSet &set, ProfileStore &store, Fields fields = Fields::Now, QWidget *parent = nullptr);

    // Builds the fields if they are not there yet.
    Q_INVOKABLE void ensureBuilt();
    void setVisible(bool visible) override;

    PresetSet &presetSet() { return set_; }
    // Saves the set (all 127 keys, one write); a failure shows in the status line.
    SaveResult SaveData();
    // Re-reads the set from its file and refreshes the fields.
    void reload();

signals:
    // Command3/4/5: show the editor of that set.
    void showEditorRequested(int setNumber);
    // The set's fields changed (typing, reload).
    void presetsChanged();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void refreshFields();
    // A field was typed in: the set changed, and "Saved." no longer holds.
    void edited();

    PresetSet &set_;
    ProfileStore &store_;
    QLineEdit *nodeCallEdit_ = nullptr;
    QList<QLineEdit *> textEdits_;  // Text1 ... Text66, index i - 1
    QList<QLineEdit *> textaEdits_; // Text1a ... Text60a
    QLabel *statusLine_ = nullptr;
};

} // namespace tavrin
