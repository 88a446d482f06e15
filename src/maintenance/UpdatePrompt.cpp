#include "maintenance/UpdatePrompt.h"

#include "maintenance/MaintenanceTexts.h"
#include "ui/ReadableColors.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tavrin::maintenance {

UpdatePrompt::UpdatePrompt(QWidget *parent) : QWidget(parent)
{
    setObjectName(QString::fromLatin1(kPromptWindowName));
    setWindowTitle(QString::fromLatin1(kPromptTitle));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 14, 18, 14);
    layout->setSpacing(10);

    auto *headline = new QLabel(QString::fromLatin1(kPromptHeadline), this);
    headline->setObjectName(QStringLiteral("Label1"));
    QFont big = headline->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    headline->setFont(big);
    headline->setAlignment(Qt::AlignCenter);
    ui::showFailureColour(headline, true);
    layout->addWidget(headline);

    auto *product = new QLabel(QString::fromLatin1(kPromptProduct), this);
    product->setObjectName(QStringLiteral("Label2"));
    QFont bold = product->font();
    bold.setBold(true);
    product->setFont(bold);
    product->setAlignment(Qt::AlignCenter);
    layout->addWidget(product);

    auto *row = new QHBoxLayout;
    auto *updateNow = new QPushButton(QString::fromLatin1(kPromptUpdateCaption), this);
    updateNow->setObjectName(QStringLiteral("Command1"));
    auto *noThanks = new QPushButton(QString::fromLatin1(kPromptNoCaption), this);
    noThanks->setObjectName(QStringLiteral("Command2"));
    row->addWidget(updateNow);
    row->addWidget(noThanks);
    layout->addLayout(row);

    setMinimumWidth(320);

    connect(updateNow, &QPushButton::clicked, this, &UpdatePrompt::updateNowRequested);
    connect(noThanks, &QPushButton::clicked, this, [this] {
        hide();
        emit declined();
    });
}

} // namespace tavrin::maintenance
