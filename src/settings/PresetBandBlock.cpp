#include "settings/PresetBandBlock.h"

#include "settings/OneLineValidator.h"
#include "settings/PresetSet.h"
#include "ui/FocusFrame.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace tavrin {

namespace {

constexpr char kBandCaption[] = "Band %1";
constexpr char kButtonTextHeading[] = "Button Text";
constexpr char kCommandHeading[] = "Text Command";
constexpr int kButtonFieldWidth = 90;
constexpr int kCommandFieldWidth = 130;

QLineEdit *makeEdit(const QString &name, int width, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setMinimumWidth(width);
    edit->setValidator(new OneLineValidator(edit));
    return edit;
}

} // namespace

PresetBandBlock::PresetBandBlock(int band, QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("BandBlock%1").arg(band));
    setFrameShape(QFrame::StyledPanel);

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);

    auto *bandCaption = new QLabel(QString::fromLatin1(kBandCaption).arg(band), this);
    QFont bold = bandCaption->font();
    bold.setBold(true);
    bandCaption->setFont(bold);
    labelEdit_ = makeEdit(QStringLiteral("Text%1").arg(PresetSet::kPresets + band), kButtonFieldWidth, this);
    bandCaption->setBuddy(labelEdit_); // what a screen reader calls the field
    grid->addWidget(bandCaption, 0, 0, 1, 2);
    grid->addWidget(labelEdit_, 0, 2);

    grid->addWidget(new QLabel(QString::fromLatin1(kButtonTextHeading), this), 1, 1);
    grid->addWidget(new QLabel(QString::fromLatin1(kCommandHeading), this), 1, 2);

    for (int p = 1; p <= PresetSet::kPresetsPerBand; ++p) {
        const int n = PresetSet::presetIndex(band, p);
        auto *number = new QLabel(QString::number(p), this);
        number->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto *button = makeEdit(QStringLiteral("Text%1").arg(n), kButtonFieldWidth, this);
        auto *command = makeEdit(QStringLiteral("Text%1a").arg(n), kCommandFieldWidth, this);
        // Read by its row and column, as the grid shows it.
        const QString row = QString::fromLatin1(kBandCaption).arg(band) + QStringLiteral(", %1: ").arg(p);
        nameForScreenReaders(button, row + QString::fromLatin1(kButtonTextHeading));
        nameForScreenReaders(command, row + QString::fromLatin1(kCommandHeading));
        grid->addWidget(number, p + 1, 0);
        grid->addWidget(button, p + 1, 1);
        grid->addWidget(command, p + 1, 2);
        buttonEdits_.append(button);
        commandEdits_.append(command);
    }
    grid->setColumnStretch(1, 2);
    grid->setColumnStretch(2, 3);
}

} // namespace tavrin
