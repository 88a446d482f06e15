#pragma once
// One band of a preset editor: the band-label field and ten numbered rows of button text and
// command text under their column headings. Only builds and lays out the fields; the editor
// wires them to the set.
//
// Thread: user-interface thread. Owns its child widgets through Qt parenthood.

#include <QFrame>
#include <QList>

class QLineEdit;

namespace tavrin {

class PresetBandBlock : public QFrame {
    Q_OBJECT
public:
    // band: 1 ... 6; the fields are named "Text6<band>", "Text<n>" and "Text<n>a".
    PresetBandBlock(int band, QWidget *parent = nullptr);

    QLineEdit *labelEdit() const { return labelEdit_; }
    const QList<QLineEdit *> &buttonEdits() const { return buttonEdits_; }   // presets 1 ... 10
    const QList<QLineEdit *> &commandEdits() const { return commandEdits_; } // presets 1 ... 10

private:
    QLineEdit *labelEdit_ = nullptr;
    QList<QLineEdit *> buttonEdits_;
    QList<QLineEdit *> commandEdits_;
};

} // namespace tavrin
