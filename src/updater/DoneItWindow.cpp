#include "updater/DoneItWindow.h"

#include "updater/UpdaterTexts.h"

#include <QFrame>
#include <QLabel>
#include <QVBoxLayout>

namespace tavrin::updater {

namespace {

void addFramedLine(QVBoxLayout *layout, const QString &name, const QString &text, bool emphasised)
{
    auto *frame = new QFrame;
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Sunken);
    auto *inner = new QVBoxLayout(frame);
    auto *label = new QLabel(text);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignCenter);
    if (emphasised) {
        QFont font = label->font();
        font.setBold(true);
        font.setPointSizeF(font.pointSizeF() * 1.25);
        label->setFont(font);
    }
    inner->addWidget(label);
    layout->addWidget(frame);
}

} // namespace

DoneItWindow::DoneItWindow(const QString &webUrl) : QWidget(nullptr, Qt::Dialog)
{
    setObjectName(QStringLiteral("DoneIt"));
    setWindowTitle(QString());
    auto *layout = new QVBoxLayout(this);
    addFramedLine(layout, QStringLiteral("Label1"), QString::fromLatin1(kDoneLine1), true);
    addFramedLine(layout, QStringLiteral("Label2"), QString::fromLatin1(kDoneLine2), false);
    addFramedLine(layout, QStringLiteral("Label3"), QString::fromLatin1(kDoneLine3).arg(webUrl), false);
    resize(360, sizeHint().height());
}

} // namespace tavrin::updater
