#include "core/FrequencyPanels.h"

#include "core/Controls.h"
#include "core/Pictures.h"
#include "core/WidgetColors.h"
#include "settings/OneLineValidator.h"
#include "ui/FocusFrame.h"

#include <QButtonGroup>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tavrin {

namespace {

constexpr int kKeySize = 38;
// Widest a band label or a preset's text makes its button ask to be.
constexpr int kBandButtonWidest = 80;
constexpr int kPresetButtonWidest = 96;

const char *const kBandCaptions[] = {"160", "80", "40", "20", "17", "15"};
const char *const kBandButtonCaptions[] = {"160M", "80M", "40M", "20M", "17M", "15M"};

// Keypad 1: button number of each digit 0 ... 9, and its caption with accelerator.
constexpr int kKeypadDigitButtons[10] = {36, 34, 44, 43, 42, 41, 40, 39, 38, 37};
// Keypad 2 likewise, captions without accelerator.
constexpr int kStepsDigitButtons[10] = {67, 56, 61, 60, 59, 58, 57, 65, 64, 63};

struct Step {
    int button;
    const char *caption;
    double mhz;
};
// In name order Command48 ... Command55.
constexpr Step kStepTable[FrequencyPanels::kSteps] = {
    {48, "-5kHz", -0.005}, {49, "-0.1kHz", -0.0001}, {50, "-1kHz", -0.001}, {51, "-10kHz", -0.01},
    {52, "+5kHz", 0.005},  {53, "+0.1kHz", 0.0001},  {54, "+1kHz", 0.001},  {55, "+10kHz", 0.01},
};
// Where each step button sits: down steps on the first row, up steps on the second, small to large.
constexpr int kStepColumn[FrequencyPanels::kSteps] = {2, 0, 1, 3, 2, 0, 1, 3};

QString command(int n) { return QStringLiteral("Command%1").arg(n); }

// The large display. A text too long for its box (a preset's or user frequency's own text)
// shows from its start, cut with "...": the frequency comes first. text() stays whole.
class FrequencyDisplay : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        const QRect room = contentsRect();
        if (fontMetrics().horizontalAdvance(text()) <= room.width()) {
            QLabel::paintEvent(event);
            return;
        }
        QPainter painter(this);
        painter.setPen(palette().color(foregroundRole()));
        painter.drawText(room, Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(text(), Qt::ElideRight, room.width()));
    }
};

// Keys of a keypad in the usual telephone-free calculator order: 7 8 9 / 4 5 6 / 1 2 3 / 0 . C
void placeDigits(QGridLayout *grid, const std::array<QPushButton *, 10> &digits, QPushButton *point,
                 QPushButton *clear, int firstRow)
{
    for (int d = 1; d <= 9; ++d)
        grid->addWidget(digits.at(d), firstRow + (9 - d) / 3, (d - 1) % 3);
    grid->addWidget(digits.at(0), firstRow + 3, 0);
    grid->addWidget(point, firstRow + 3, 1);
    grid->addWidget(clear, firstRow + 3, 2);
    for (QPushButton *b : digits)
        b->setFixedSize(kKeySize, kKeySize - 8);
    point->setFixedSize(kKeySize, kKeySize - 8);
    clear->setFixedSize(kKeySize, kKeySize - 8);
}

// A key clicked with the mouse leaves the keys in the entry field, where the operator may go on
// typing; Tab still reaches it.
template <class Keys>
void keepTypingWhereItWas(const Keys &keys)
{
    for (QPushButton *key : keys)
        key->setFocusPolicy(Qt::TabFocus);
}

} // namespace

double FrequencyPanels::stepOf(int index) { return kStepTable[index].mhz; }

void FrequencyPanels::showOnDisplay(const QString &text)
{
    display->setText(text);
    // Read as what it is, with the unit shown beside it, not as a bare row of digits.
    nameForScreenReaders(display, QStringLiteral("Frequency %1 MHz").arg(text));
}

FrequencyPanels::FrequencyPanels(QWidget *parent)
{
    buildDisplay(parent);
    buildBand(parent);
    buildPresets(parent);
    buildKeypad(parent);
    buildSteps(parent);
    buildUserFrequencies(parent);
}

void FrequencyPanels::buildDisplay(QWidget *parent)
{
    displayBox = new QGroupBox(QStringLiteral("Frequency"), parent);
    display = new FrequencyDisplay(QStringLiteral("000.0000"), displayBox);
    display->setObjectName(QStringLiteral("Label4"));
    display->setTextFormat(Qt::PlainText);
    QFont big = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    big.setPointSize(30);
    big.setBold(true);
    display->setFont(big);
    display->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    display->setMinimumWidth(250);
    // However long the text, the display takes the room its box has and never widens the window.
    QSizePolicy displayWidth = display->sizePolicy();
    displayWidth.setHorizontalPolicy(QSizePolicy::Ignored);
    display->setSizePolicy(displayWidth);
    display->setContentsMargins(10, 2, 10, 2);
    setBackColor(display, QColor(16, 24, 32));
    setForeColor(display, QColor(80, 255, 140));

    auto *unit = new QLabel(QStringLiteral("MHz"), displayBox);
    QFont unitFont = unit->font();
    unitFont.setPointSize(14);
    unitFont.setBold(true);
    unit->setFont(unitFont);

    frequency = makeEdit(QStringLiteral("Text1"), QStringLiteral("000.0000"), displayBox);
    frequency->setMaximumWidth(140);
    keypadPicture2 = makePicture(QStringLiteral("Picture7"), Icon::Keypad, QStringLiteral("Frequency keypad"),
                                 displayBox);

    auto *top = new QHBoxLayout;
    top->addWidget(display, 1);
    top->addWidget(unit);
    auto *bottom = new QHBoxLayout;
    auto *current = new QLabel(QStringLiteral("Current:"), displayBox);
    current->setBuddy(frequency); // what a screen reader calls the field
    bottom->addWidget(current);
    bottom->addWidget(frequency);
    bottom->addStretch(1);
    bottom->addWidget(keypadPicture2);
    auto *box = new QVBoxLayout(displayBox);
    box->addLayout(top);
    box->addLayout(bottom);
}

void FrequencyPanels::buildBand(QWidget *parent)
{
    bandBox = makeFrame(QStringLiteral("BandFrame"), QStringLiteral("Band"), parent);
    bandGroup = new QButtonGroup(bandBox);
    bandGroup->setExclusive(true);
    auto *grid = new QGridLayout(bandBox);
    for (int b = 0; b < kBands; ++b) {
        bandOptions.at(b) = makeOption(QStringLiteral("Option%1").arg(b + 1),
                                       QString::fromLatin1(kBandCaptions[b]), bandBox);
        bandGroup->addButton(bandOptions.at(b), b + 1);
        grid->addWidget(bandOptions.at(b), 0, b, Qt::AlignHCenter);

        bandButtons.at(b) = makeCaptionButton(command(11 + b), QString::fromLatin1(kBandButtonCaptions[b]), bandBox,
                                              kBandButtonWidest);
        bandButtons.at(b)->setMinimumHeight(38);
        QFont f = bandButtons.at(b)->font();
        f.setBold(true);
        bandButtons.at(b)->setFont(f);
        grid->addWidget(bandButtons.at(b), 1, b);
    }
    // Design state: 160 m.
    bandOptions.at(0)->setChecked(true);
}

void FrequencyPanels::buildPresets(QWidget *parent)
{
    presetPanel = makeFrame(QStringLiteral("Frame3"), QStringLiteral("Frequency Pre Set"), parent);
    auto *grid = new QGridLayout(presetPanel);
    for (int n = 0; n < kPresets; ++n) {
        presetButtons.at(n) = makeCaptionButton(command(n + 1), QStringLiteral("Freq"), presetPanel, kPresetButtonWidest);
        presetButtons.at(n)->setMinimumSize(90, 34);
        grid->addWidget(presetButtons.at(n), n / 5, n % 5);
    }
}

void FrequencyPanels::buildKeypad(QWidget *parent)
{
    keypadPanel = makeFrame(QStringLiteral("Frame9"), QStringLiteral("Frequency Entry"), parent);
    keypadEntry = makeEdit(QStringLiteral("Text3"), {}, keypadPanel);
    // A frequency pasted with its line end ("14.230\n") is still a frequency.
    keypadEntry->setValidator(new OneLineValidator(keypadEntry));
    for (int d = 0; d <= 9; ++d)
        keypadDigits.at(d) = makeButton(command(kKeypadDigitButtons[d]), QStringLiteral("&%1").arg(d), keypadPanel);
    keypadPoint = makeButton(command(46), QStringLiteral("&."), keypadPanel);
    keypadClear = makeButton(command(45), QStringLiteral("&C"), keypadPanel);
    keypadClose = makeButton(command(47), QStringLiteral("X"), keypadPanel);
    keypadEnter = makeButton(command(35), QStringLiteral("&Enter"), keypadPanel);

    auto *grid = new QGridLayout(keypadPanel);
    grid->setSpacing(4);
    grid->addWidget(keypadEntry, 0, 0, 1, 3);
    placeDigits(grid, keypadDigits, keypadPoint, keypadClear, 1);
    grid->addWidget(keypadEnter, 5, 0, 1, 2);
    grid->addWidget(keypadClose, 5, 2);
    keypadClose->setFixedWidth(kKeySize);
    keepTypingWhereItWas(keypadDigits);
    keepTypingWhereItWas(QList<QPushButton *>{keypadPoint, keypadClear, keypadEnter});
}

void FrequencyPanels::buildSteps(QWidget *parent)
{
    stepsPanel = makeFrame(QStringLiteral("Frame2"), QStringLiteral("Frequency Steps"), parent);
    frequencyWithUnit = makeEdit(QStringLiteral("Text12"), QStringLiteral("000.0000 MHz"), stepsPanel);
    frequencyWithUnit->setReadOnly(true);
    nameForScreenReaders(frequencyWithUnit, QStringLiteral("Frequency"));
    stepsEntry = makeEdit(QStringLiteral("Text11"), {}, stepsPanel);
    stepsEntry->setValidator(new OneLineValidator(stepsEntry));
    nameForScreenReaders(stepsEntry, QStringLiteral("Frequency Entry"));
    for (int d = 0; d <= 9; ++d)
        stepsDigits.at(d) = makeButton(command(kStepsDigitButtons[d]), QString::number(d), stepsPanel);
    stepsPoint = makeButton(command(62), QStringLiteral("."), stepsPanel);
    stepsClear = makeButton(command(66), QStringLiteral("C"), stepsPanel);
    stepsEnter = makeButton(command(69), QStringLiteral("Enter"), stepsPanel);
    stepsClose = makeButton(command(70), QStringLiteral("Hide"), stepsPanel);

    auto *keys = new QGridLayout;
    keys->setSpacing(4);
    keys->addWidget(stepsEntry, 0, 0, 1, 3);
    placeDigits(keys, stepsDigits, stepsPoint, stepsClear, 1);
    keys->addWidget(stepsEnter, 5, 0, 1, 3);

    auto *steps = new QGridLayout;
    steps->setSpacing(4);
    for (int i = 0; i < kSteps; ++i) {
        stepButtons.at(i) = makeButton(command(kStepTable[i].button), QString::fromLatin1(kStepTable[i].caption), stepsPanel);
        stepButtons.at(i)->setMinimumSize(70, 32);
        steps->addWidget(stepButtons.at(i), i < 4 ? 1 : 2, kStepColumn[i]);
    }
    steps->addWidget(frequencyWithUnit, 0, 0, 1, 4);
    steps->setRowStretch(3, 1);
    steps->addWidget(stepsClose, 4, 3);
    keepTypingWhereItWas(stepsDigits);
    keepTypingWhereItWas(stepButtons);
    keepTypingWhereItWas(QList<QPushButton *>{stepsPoint, stepsClear, stepsEnter});

    auto *row = new QHBoxLayout(stepsPanel);
    row->addLayout(steps, 1);
    row->addSpacing(8);
    row->addLayout(keys);
}

void FrequencyPanels::buildUserFrequencies(QWidget *parent)
{
    userPanel = makeFrame(QStringLiteral("Frame8"), QStringLiteral("User Frequency Selection"), parent);
    auto *grid = new QGridLayout(userPanel);
    grid->setVerticalSpacing(3);
    for (int j = 0; j < kUserFrequencies; ++j) {
        userFrequencies.at(j) = makeEdit(QStringLiteral("Text%1").arg(5 + j), {}, userPanel);
        userFrequencies.at(j)->setMaximumWidth(110);
        // One chat line, as the settings file keeps it: a pasted line break becomes a blank.
        userFrequencies.at(j)->setValidator(new OneLineValidator(userFrequencies.at(j)));
        userSelectButtons.at(j) =
            makeButton(command(21 + j), QStringLiteral("User Select %1").arg(j + 1), userPanel);
        nameForScreenReaders(userFrequencies.at(j), QStringLiteral("Frequency of User Select %1").arg(j + 1));
        grid->addWidget(userFrequencies.at(j), j, 0);
        grid->addWidget(userSelectButtons.at(j), j, 1);
    }
    userSave = makeButton(command(27), QStringLiteral("Save Changes"), userPanel);
    userHide = makeButton(command(28), QStringLiteral("Hide"), userPanel);
    grid->addWidget(userSave, kUserFrequencies, 0);
    grid->addWidget(userHide, kUserFrequencies, 1);
}

} // namespace tavrin
