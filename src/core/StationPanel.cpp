#include "core/StationPanel.h"

#include "core/Controls.h"
#include "core/WidgetColors.h"
#include "ui/FocusFrame.h"
#include "ui/ReadableLog.h"

#include <QButtonGroup>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QVBoxLayout>

namespace tavrin {

namespace {

constexpr int kNodeButtonNumbers[StationPanel::kSets] = {29, 30, 31, 32};
// Widest a node call makes its button ask to be.
constexpr int kNodeButtonWidest = 140;
constexpr int kLinkToggleNumbers[StationPanel::kSets] = {20, 33, 68, 71};

QString command(int n) { return QStringLiteral("Command%1").arg(n); }

QLabel *caption(const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

} // namespace

StationPanel::StationPanel(QWidget *parent)
{
    buildNodes(parent);
    buildIdentity(parent);
    buildChat(parent);
}

void StationPanel::buildNodes(QWidget *parent)
{
    nodeBox = makeFrame(QStringLiteral("NodeFrame"), QStringLiteral("Selected Nodes"), parent);
    setGroup = new QButtonGroup(nodeBox);
    setGroup->setExclusive(true);
    auto *grid = new QGridLayout(nodeBox);
    grid->setVerticalSpacing(4);
    for (int k = 0; k < kSets; ++k) {
        setOptions.at(k) = makeOption(QStringLiteral("Option%1x").arg(k + 1), QString::number(k + 1), nodeBox);
        setGroup->addButton(setOptions.at(k), k + 1);
        nodeButtons.at(k) = makeCaptionButton(command(kNodeButtonNumbers[k]), {}, nodeBox, kNodeButtonWidest,
                                              QStringLiteral("Select HF Node"));
        nodeButtons.at(k)->setMinimumSize(140, 34);
        QFont f = nodeButtons.at(k)->font();
        f.setBold(true);
        nodeButtons.at(k)->setFont(f);
        linkToggles.at(k) =
            makeButton(command(kLinkToggleNumbers[k]), QStringLiteral("On/Off"), nodeBox, QStringLiteral("Disconnect Station"));
        linkToggles.at(k)->setMinimumHeight(34);
        grid->addWidget(setOptions.at(k), k, 0);
        grid->addWidget(nodeButtons.at(k), k, 1);
        grid->addWidget(linkToggles.at(k), k, 2);
    }
    setOptions.at(0)->setChecked(true); // design state: set 1
    grid->setColumnStretch(1, 1);

    disconnectAll = makeButton(command(72), QStringLiteral("Disconnect All"), nodeBox,
                               QStringLiteral("Disconnect All Connected Stations"));
    grid->addWidget(disconnectAll, kSets, 1, 1, 2);

    lastStation = makeEdit(QStringLiteral("Text2"), {}, nodeBox, QStringLiteral("Last Station Connected"));
    lastStation->setReadOnly(true);
    setForeColor(lastStation, kBlue);
    nodeSelected = makeLabel(QStringLiteral("NodeSelected"), QString::fromLatin1(kNoNodeSelectedText), nodeBox);
    // The node call is any text the operator typed: shown as typed, never as markup.
    nodeSelected->setTextFormat(Qt::PlainText);
    // However long the call, the line takes the room the panel has and no more.
    QSizePolicy lineWidth = nodeSelected->sizePolicy();
    lineWidth.setHorizontalPolicy(QSizePolicy::Ignored);
    nodeSelected->setSizePolicy(lineWidth);
    stationCount = makeLabel(QStringLiteral("NumStations"), QStringLiteral("0"), nodeBox);
    QFont bold = stationCount->font();
    bold.setBold(true);
    stationCount->setFont(bold);
    listedBusy = makeLabel(QStringLiteral("Label10"), QStringLiteral("Listed Busy"), nodeBox);
    listedBusy->setFont(bold);
    setForeColor(listedBusy, kRed);
    listedBusy->setVisible(false);

    auto *info = new QGridLayout;
    QLabel *linked = caption(QStringLiteral("Linked:"), nodeBox);
    linked->setBuddy(lastStation); // what a screen reader calls the field
    info->addWidget(linked, 0, 0);
    info->addWidget(lastStation, 0, 1);
    info->addWidget(caption(QStringLiteral("Stations:"), nodeBox), 0, 2);
    info->addWidget(stationCount, 0, 3);
    info->addWidget(nodeSelected, 1, 0, 1, 3);
    info->addWidget(listedBusy, 1, 3);
    grid->addLayout(info, kSets + 1, 0, 1, 3);
}

void StationPanel::buildIdentity(QWidget *parent)
{
    identityBox = new QGroupBox(QStringLiteral("Station"), parent);
    callsign = makeLabel(QStringLiteral("Callsign"), QStringLiteral("Callsign"), identityBox);
    QFont bold = callsign->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 2);
    callsign->setFont(bold);
    program = makeLabel(QStringLiteral("Prog"), QStringLiteral("Program"), identityBox);
    version = makeLabel(QStringLiteral("Ver"), QStringLiteral("Ver"), identityBox);
    clockTime = makeLabel(QStringLiteral("Label2"), {}, identityBox);
    clockDate = makeLabel(QStringLiteral("Label1x"), {}, identityBox);
    QFont clockFont = clockTime->font();
    clockFont.setPointSize(clockFont.pointSize() + 4);
    clockFont.setBold(true);
    clockTime->setFont(clockFont);
    clockTime->setMinimumWidth(QFontMetrics(clockFont).horizontalAdvance(QStringLiteral("00:00:00")) + 8);

    auto *box = new QGridLayout(identityBox);
    box->addWidget(callsign, 0, 0, 1, 2);
    box->addWidget(program, 1, 0);
    box->addWidget(version, 1, 1);
    box->addWidget(clockTime, 2, 0);
    box->addWidget(clockDate, 2, 1);
}

void StationPanel::buildChat(QWidget *parent)
{
    chatBox = new QGroupBox(QStringLiteral("Chat"), parent);
    lastLine = makeRichBox(QStringLiteral("RTB"), chatBox);
    lastLine->setFixedHeight(QFontMetrics(lastLine->font()).height() + 12);
    lastLine->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lastLine->setLineWrapMode(QTextEdit::NoWrap);
    nameForScreenReaders(lastLine, QStringLiteral("Last chat line"));
    keepPlaceWhenHidden(lastLine);
    // A plain-text log lays out only the lines it shows: a long chat costs its text, not a
    // layout of every line.
    chatLog = new QPlainTextEdit(chatBox);
    chatLog->setObjectName(QStringLiteral("RTB2"));
    makeReadableLog(chatLog);
    // A line without spaces (a pasted address, a flood) still wraps, and cheaply: searching a
    // 64 KiB word for a word boundary costs far more than breaking it anywhere.
    chatLog->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    clearChat = makeButton(command(17), QStringLiteral("Clear"), chatBox);
    stationList = makeRichBox(QStringLiteral("Text35"), chatBox);
    stationList->setMaximumWidth(300);

    auto *left = new QVBoxLayout;
    left->addWidget(lastLine);
    left->addWidget(chatLog, 1);
    auto *clearRow = new QHBoxLayout;
    clearRow->addStretch(1);
    clearRow->addWidget(clearChat);
    left->addLayout(clearRow);
    auto *right = new QVBoxLayout;
    auto *stations = new QLabel(QStringLiteral("Stations"), chatBox);
    stations->setBuddy(stationList);
    right->addWidget(stations);
    right->addWidget(stationList, 1);
    auto *row = new QHBoxLayout(chatBox);
    row->addLayout(left, 3);
    row->addLayout(right, 1);
}

} // namespace tavrin
