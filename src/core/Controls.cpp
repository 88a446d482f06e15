#include "core/Controls.h"

#include "ui/ReadableLog.h"

#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTextEdit>
#include <QToolTip>

namespace tavrin {

namespace {

class CaptionButton : public QPushButton {
public:
    CaptionButton(const QString &caption, int widestHint, QWidget *parent)
        : QPushButton(caption, parent), widestHint_(widestHint)
    {
    }

    QSize sizeHint() const override
    {
        QSize hint = QPushButton::sizeHint();
        hint.setWidth(qMin(hint.width(), widestHint_));
        return hint;
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        option.text = shownText(option);
        painter.drawControl(QStyle::CE_PushButton, option);
    }

    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::ToolTip) {
            QStyleOptionButton option;
            initStyleOption(&option);
            if (shownText(option) != text()) {
                QToolTip::showText(static_cast<QHelpEvent *>(e)->globalPos(), text(), this);
                return true;
            }
        }
        return QPushButton::event(e);
    }

private:
    QString shownText(const QStyleOptionButton &option) const
    {
        const QRect contents = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
        // The style keeps a few pixels of its own either side of the text.
        const int room = contents.width() - style()->pixelMetric(QStyle::PM_ButtonMargin, &option, this);
        return fontMetrics().elidedText(text(), Qt::ElideRight, qMax(room, 0), Qt::TextShowMnemonic);
    }

    int widestHint_;
};

} // namespace

QPushButton *makeButton(const QString &name, const QString &caption, QWidget *parent, const QString &toolTip)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    if (!toolTip.isEmpty())
        b->setToolTip(toolTip);
    return b;
}

QPushButton *makeCaptionButton(const QString &name, const QString &caption, QWidget *parent, int widestHint,
                               const QString &toolTip)
{
    auto *b = new CaptionButton(caption, widestHint, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    if (!toolTip.isEmpty())
        b->setToolTip(toolTip);
    return b;
}

QLineEdit *makeEdit(const QString &name, const QString &text, QWidget *parent, const QString &toolTip)
{
    auto *e = new QLineEdit(text, parent);
    e->setObjectName(name);
    if (!toolTip.isEmpty())
        e->setToolTip(toolTip);
    return e;
}

QLabel *makeLabel(const QString &name, const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

QRadioButton *makeOption(const QString &name, const QString &caption, QWidget *parent)
{
    auto *o = new QRadioButton(caption, parent);
    o->setObjectName(name);
    return o;
}

QTextEdit *makeRichBox(const QString &name, QWidget *parent)
{
    auto *t = new QTextEdit(parent);
    t->setObjectName(name);
    makeReadableLog(t);
    t->setAcceptRichText(true);
    return t;
}

QGroupBox *makeFrame(const QString &name, const QString &title, QWidget *parent)
{
    auto *g = new QGroupBox(title, parent);
    g->setObjectName(name);
    return g;
}

void keepPlaceWhenHidden(QWidget *panel)
{
    QSizePolicy policy = panel->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    panel->setSizePolicy(policy);
}

} // namespace tavrin
