#pragma once
// A window's status line that may not exist yet: a window that builds its controls on first
// use keeps what the line says, and whether it tells of a failure (red), until the label is
// there, then shows it. Before anything was said the label keeps its own colour.
//
// Thread: user-interface thread. Does not own the label.

#include "ui/ReadableColors.h"

#include <QLabel>
#include <QString>

namespace tavrin {

class KeptStatus {
public:
    // The label from now on (built with the window's controls); it shows what was kept.
    void attach(QLabel *label)
    {
        label_ = label;
        apply();
    }

    void show(const QString &text, bool failure)
    {
        text_ = text;
        failure_ = failure;
        coloured_ = true;
        apply();
    }

    // The text only; the colour stays as it was.
    void clear()
    {
        text_.clear();
        if (label_)
            label_->clear();
    }

    QString text() const { return text_; }

private:
    void apply()
    {
        if (!label_)
            return;
        if (coloured_)
            ui::showFailureColour(label_, failure_);
        label_->setText(text_);
    }

    QLabel *label_ = nullptr;
    QString text_;
    bool failure_ = false;
    bool coloured_ = false;
};

} // namespace tavrin
