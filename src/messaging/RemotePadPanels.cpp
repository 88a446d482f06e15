#include "messaging/RemotePadPanels.h"

#include "audio/GradH.h"
#include "audio/VU.h"
#include "ui/FocusFrame.h"
#include "ui/OwnColours.h"
#include "ui/ReadableLog.h"
#include "ui/TabOrder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

namespace tavrin::messaging {

namespace {

// Digit d sits on button Command<kDigitButtons[d]>.
constexpr int kDigitButtons[10] = {36, 34, 44, 43, 42, 41, 40, 39, 38, 37};
constexpr int kKeySize = 30;

// The pad's meter: medium, blue to yellow on light grey, left channel (stored colour values).
constexpr int kMeterSize = 1;
constexpr quint32 kMeterColour1 = 16711680;
constexpr quint32 kMeterColour2 = 65535;
const QColor kMeterBack(192, 192, 192);
const QColor kLightGrey(192, 192, 192);
const QColor kNoticeBack(255, 236, 160);

template <class W>
W *named(W *w, const char *name)
{
    w->setObjectName(QLatin1String(name));
    return w;
}

QPushButton *button(const QString &name, const QString &caption, QWidget *parent, const QString &tip = {})
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    if (!tip.isEmpty())
        b->setToolTip(tip);
    // Clicks must not take the focus from the send line.
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

QString command(int n) { return QStringLiteral("Command%1").arg(n); }

QFont scaled(QFont f, int extraPoints, bool bold)
{
    f.setPointSize(f.pointSize() + extraPoints);
    f.setBold(bold);
    return f;
}

// A control made before the others joins `parent` here: out of the window and back in, it
// takes its place in the window's focus chain as if it were made now, so the pad is the same
// whenever its controls are built.
void takeIn(QWidget *made, QWidget *parent)
{
    made->setParent(nullptr);
    made->setParent(parent);
}

void keepPlaceWhenHidden(QWidget *w)
{
    QSizePolicy p = w->sizePolicy();
    p.setRetainSizeWhenHidden(true);
    w->setSizePolicy(p);
}

// Where a step key stands, row by row from 0: up steps on the upper row, each row in columns by
// size (0.1, 1, 5, 10 kHz).
int stepPlace(const PadStep &s)
{
    const long long size = s.tenThousandths < 0 ? -s.tenThousandths : s.tenThousandths;
    const int column = size == 1 ? 0 : size == 10 ? 1 : size == 50 ? 2 : 3;
    return (s.tenThousandths > 0 ? 0 : 4) + column;
}

QLayout *buildKeypad(RemotePadControls &c, QWidget *window)
{
    c.entry = named(new QLineEdit(window), "Text3");
    c.entry->setToolTip(QStringLiteral("Entre Frequency (Example 14.200)"));
    nameForScreenReaders(c.entry, QStringLiteral("Frequency Entry"));
    for (int d = 0; d < 10; ++d)
        c.digits.at(d) = button(command(kDigitButtons[d]), QStringLiteral("&%1").arg(d), window);
    c.point = button(command(46), QStringLiteral("&."), window);
    c.clear = button(command(45), QStringLiteral("&C"), window, QStringLiteral("Clear Frequency"));
    c.enter = button(command(35), QStringLiteral("&Enter"), window, QStringLiteral("Send Frequency"));

    auto *grid = new QGridLayout;
    grid->setSpacing(3);
    grid->addWidget(c.entry, 0, 0, 1, 3);
    // 7 8 9 / 4 5 6 / 1 2 3 / 0 . C
    for (int d = 1; d <= 9; ++d)
        grid->addWidget(c.digits.at(d), 3 - (d - 1) / 3, (d - 1) % 3);
    grid->addWidget(c.digits.at(0), 4, 0);
    grid->addWidget(c.point, 4, 1);
    grid->addWidget(c.clear, 4, 2);
    grid->addWidget(c.enter, 5, 0, 1, 3);
    for (QPushButton *key : c.digits)
        key->setFixedSize(kKeySize + 8, kKeySize);
    c.point->setFixedSize(kKeySize + 8, kKeySize);
    c.clear->setFixedSize(kKeySize + 8, kKeySize);
    c.entry->setFixedWidth(3 * (kKeySize + 8) + 6);
    return grid;
}

QLayout *buildSteps(RemotePadControls &c, QWidget *window)
{
    c.stepsLabel = named(new QLabel(QStringLiteral("Steps"), window), "Label11");
    c.stepsLabel->setAlignment(Qt::AlignCenter);
    auto *grid = new QGridLayout;
    grid->setSpacing(3);
    grid->addWidget(c.stepsLabel, 0, 0, 1, 4);
    for (std::size_t k = 0; k < kPadSteps.size(); ++k) {
        const PadStep &s = kPadSteps.at(k);
        QPushButton *b = button(command(s.command), QLatin1String(s.caption), window, QStringLiteral("Frequency Steps"));
        c.steps.at(k) = b;
        grid->addWidget(b, 1 + stepPlace(s) / 4, stepPlace(s) % 4);
    }
    return grid;
}

// The step keys as they stand, along the upper row, then the lower.
QList<QWidget *> stepsAsTheyStand(const RemotePadControls &c)
{
    QList<QWidget *> keys(qsizetype(kPadSteps.size()), nullptr);
    for (std::size_t k = 0; k < kPadSteps.size(); ++k)
        keys[stepPlace(kPadSteps.at(k))] = c.steps.at(k);
    return keys;
}

QLayout *buildTransmit(RemotePadControls &c, QWidget *window, GradH *meter)
{
    c.transmit = button(QStringLiteral("Command1x"), QStringLiteral("TX /& RX"), window, QStringLiteral("PTT"));
    c.transmit->setFont(scaled(c.transmit->font(), 2, true));
    c.transmit->setMinimumHeight(40);
    // As on the main window: Alt+Space opens the window's menu, it never keys the transmitter.
    c.transmit->setShortcut(QKeySequence());
    ui::setOwnBackground(c.transmit, kLightGrey);

    c.transmitState = named(new QLabel(QLatin1String(padtexts::kReceiveModeText), window), "Label3");
    c.transmitState->setAlignment(Qt::AlignCenter);
    c.transmitState->setFrameShape(QFrame::Panel);
    c.transmitState->setFrameShadow(QFrame::Sunken);
    c.transmitState->setMinimumHeight(22);
    ui::setOwnBackground(c.transmitState, ui::kDesktopButtonFace);

    c.receiveIndicator = named(new QLabel(QLatin1String(padtexts::kNotReceivingText), window), "PTT1");
    c.receiveIndicator->setAlignment(Qt::AlignCenter);
    c.receiveIndicator->setFrameShape(QFrame::Panel);
    c.receiveIndicator->setFrameShadow(QFrame::Sunken);
    c.receiveIndicator->setMinimumHeight(22);
    ui::setOwnBackground(c.receiveIndicator, ui::kDesktopButtonFace);

    c.meterFrame = named(new QFrame(window), "Frame13");
    c.meterFrame->setFrameShape(QFrame::StyledPanel);
    auto *meterBox = new QVBoxLayout(c.meterFrame);
    meterBox->setContentsMargins(2, 2, 2, 2);
    c.meter = meter;
    takeIn(c.meter, c.meterFrame);
    meterBox->addWidget(c.meter, 0, Qt::AlignCenter);
    // Shown only while transmitting; the pad keeps its shape meanwhile.
    keepPlaceWhenHidden(c.meterFrame);
    c.meterFrame->setVisible(false);

    auto *box = new QVBoxLayout;
    box->setSpacing(4);
    box->addWidget(c.transmit);
    box->addWidget(c.transmitState);
    box->addWidget(c.receiveIndicator);
    box->addWidget(c.meterFrame);
    box->addStretch(1);
    return box;
}

QWidget *buildNotice(RemotePadControls &c, QWidget *window)
{
    c.requestNotice = named(new QFrame(window), "Frame11");
    c.requestNotice->setFrameShape(QFrame::Panel);
    c.requestNotice->setFrameShadow(QFrame::Raised);
    ui::setOwnBackground(c.requestNotice, kNoticeBack);
    auto *text = new QLabel(QStringLiteral("Transmit request sent - waiting for the link"), c.requestNotice);
    text->setFont(scaled(text->font(), 0, true));
    auto *box = new QHBoxLayout(c.requestNotice);
    box->setContentsMargins(6, 2, 6, 2);
    box->addWidget(text, 1, Qt::AlignCenter);
    // Shown only while a request waits; the chat log gives up the room meanwhile.
    c.requestNotice->setVisible(false);
    return c.requestNotice;
}

} // namespace

GradH *buildPadMeter(QWidget *window)
{
    auto *meter = named(new GradH(window), kMeterName);
    meter->setVUSize(kMeterSize);
    meter->setBackColor(kMeterBack);
    meter->setGradientColor1(VU::colorFromValue(kMeterColour1));
    meter->setGradientColor2(VU::colorFromValue(kMeterColour2));
    meter->setChannel(0);
    return meter;
}

QPlainTextEdit *buildPadLog(QWidget *window)
{
    auto *log = named(new QPlainTextEdit(window), "RTB");
    makeReadableLog(log);
    log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log->setMinimumHeight(90);
    nameForScreenReaders(log, QStringLiteral("Chat"));
    // A flood of one endless word must not stall the pad: break it anywhere.
    log->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return log;
}

RemotePadControls buildRemotePadControls(QWidget *window, GradH *meter, QPlainTextEdit *log)
{
    RemotePadControls c;

    c.frequency = named(new QLineEdit(QLatin1String(padtexts::kNoFrequency), window), "Text1");
    c.frequency->setReadOnly(true);
    c.frequency->setFocusPolicy(Qt::NoFocus);
    c.frequency->setAlignment(Qt::AlignCenter);
    nameForScreenReaders(c.frequency, QStringLiteral("Frequency"));
    c.frequency->setFont(scaled(c.frequency->font(), 10, true));
    c.hide = button(QStringLiteral("Command1"), QStringLiteral("x"), window, QStringLiteral("Hide The Remote Pad"));
    c.hide->setFixedSize(24, 24);

    c.stationList = named(new QTextEdit(window), "StationList");
    makeReadableLog(c.stationList);
    c.stationList->setToolTip(QStringLiteral("Station List"));
    nameForScreenReaders(c.stationList, c.stationList->toolTip());
    c.stationList->setFixedHeight(64);

    c.chatLog = log;
    takeIn(c.chatLog, window);

    c.sendLine = named(new QLineEdit(window), "TextTX");
    c.sendLine->setToolTip(QStringLiteral("Send Text Message"));
    nameForScreenReaders(c.sendLine, c.sendLine->toolTip());
    c.send = button(QStringLiteral("Send"), QStringLiteral("&Send"), window);
    c.showMain = button(QStringLiteral("Command2"), QStringLiteral("Show Main &Radio"), window);
    c.status = named(new QLabel(window), "StatusLine");
    c.status->setTextFormat(Qt::PlainText); // a refusal quotes what was typed
    c.status->setWordWrap(true);

    auto *top = new QHBoxLayout;
    top->addWidget(c.frequency, 1);
    top->addWidget(c.hide, 0, Qt::AlignTop);

    auto *right = new QVBoxLayout;
    right->addLayout(buildTransmit(c, window, meter));
    right->addLayout(buildSteps(c, window));

    auto *middle = new QHBoxLayout;
    middle->addLayout(buildKeypad(c, window));
    middle->addSpacing(8);
    middle->addLayout(right, 1);

    auto *sendRow = new QHBoxLayout;
    sendRow->addWidget(c.sendLine, 1);
    sendRow->addWidget(c.send);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(c.showMain);
    bottom->addWidget(c.status, 1);

    auto *page = new QVBoxLayout(window);
    page->setContentsMargins(6, 6, 6, 6);
    page->setSpacing(5);
    page->addLayout(top);
    page->addLayout(middle);
    page->addWidget(buildNotice(c, window));
    page->addWidget(c.stationList);
    page->addWidget(c.chatLog, 1);
    page->addLayout(sendRow);
    page->addLayout(bottom);

    // Tab goes through the pad as it stands: the hide key at the top, the keypad, then the
    // transmit box and the steps beside it, then down the window.
    setTabChain(QList<QWidget *>{c.hide, c.entry} << digitsAsTheyStand(c.digits)
                << QList<QWidget *>{c.point, c.clear, c.enter, c.transmit} << stepsAsTheyStand(c)
                << QList<QWidget *>{c.stationList, c.chatLog, c.sendLine, c.send, c.showMain});
    return c;
}

} // namespace tavrin::messaging
