#include "core/Controls.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>

namespace tavrin {

QPushButton *makeButton(const QString &name, const QString &caption, QWidget *parent, const QString &toolTip)
{
    auto *b = new QPushButton(caption, parent);
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
    t->setReadOnly(true);
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
