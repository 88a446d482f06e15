#pragma once
// Small builders for named controls: every control the main window's panels create gets its
// objectName here, so tests and the scenario runner find it by name.

#include <QString>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTextEdit;
class QWidget;

namespace tavrin {

QPushButton *makeButton(const QString &name, const QString &caption, QWidget *parent,
                        const QString &toolTip = {});
// A button whose caption is the operator's own text (a preset, a user command, a band label,
// a node call): it asks the layout for room for its text up to widestHint pixels, so one long
// caption cannot push the window off the screen. A caption that does not fit is drawn cut with
// "..." and shown whole as a tool tip; text() stays the caption as set.
QPushButton *makeCaptionButton(const QString &name, const QString &caption, QWidget *parent, int widestHint,
                               const QString &toolTip = {});
QLineEdit *makeEdit(const QString &name, const QString &text, QWidget *parent, const QString &toolTip = {});
QLabel *makeLabel(const QString &name, const QString &text, QWidget *parent);
QRadioButton *makeOption(const QString &name, const QString &caption, QWidget *parent);
QTextEdit *makeRichBox(const QString &name, QWidget *parent);
QGroupBox *makeFrame(const QString &name, const QString &title, QWidget *parent);

// A panel whose visibility the window switches keeps its place in the layout while hidden,
// so the window does not jump around when panels come and go.
void keepPlaceWhenHidden(QWidget *panel);

} // namespace tavrin
