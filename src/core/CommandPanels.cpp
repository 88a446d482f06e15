#include "core/CommandPanels.h"

#include "core/Controls.h"
#include "core/Pictures.h"
#include "core/WidgetColors.h"
#include "ui/OwnColours.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QVBoxLayout>

namespace tavrin {

namespace {

// Widest a caption makes its user button ask to be: room for 13 characters.
constexpr int kUserButtonWidest = 140;
QString command(int n) { return QStringLiteral("Command%1").arg(n); }

// The transmit-request wait: as wide as a wait of six digits in the field's own font, so the
// value stays readable whatever text size the desktop gives the window.
class WaitField final : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

    QSize sizeHint() const override
    {
        // What QLineEdit itself adds around its text: 2 pixels a side, text and contents margins.
        const QMargins text = textMargins();
        const QMargins contents = contentsMargins();
        const int width = fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 2 * 2 + text.left()
            + text.right() + contents.left() + contents.right();
        QStyleOptionFrame option;
        initStyleOption(&option);
        QSize hint = QLineEdit::sizeHint();
        hint.setWidth(style()->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(width, fontMetrics().height()), this)
                          .width());
        return hint;
    }
    QSize minimumSizeHint() const override { return sizeHint(); }
};

} // namespace

CommandPanels::CommandPanels(QWidget *parent)
{
    buildTransmit(parent);
    buildUserButtons(parent);
    buildChooser(parent);
    buildNotice(parent);
    buildToolStrip(parent);
}

void CommandPanels::buildTransmit(QWidget *parent)
{
    transmitBox = new QGroupBox(QStringLiteral("Transmit"), parent);
    transmitButton = makeButton(QStringLiteral("Command1x"), QStringLiteral("TX /& RX"), transmitBox,
                                QStringLiteral("PTT"));
    transmitButton->setMinimumSize(110, 52);
    // The "&" before the blank would make Alt+Space, the key for the window's own menu, key the
    // transmitter: the caption keeps it, the button takes no key from it.
    transmitButton->setShortcut(QKeySequence());
    QFont f = transmitButton->font();
    f.setBold(true);
    f.setPointSize(f.pointSize() + 3);
    transmitButton->setFont(f);
    setBackColor(transmitButton, kLightGrey);

    transmitState = makeLabel(QStringLiteral("Label3"), QString::fromLatin1(kReceiveModeText), transmitBox);
    transmitState->setAlignment(Qt::AlignCenter);
    transmitState->setFrameShape(QFrame::Panel);
    transmitState->setFrameShadow(QFrame::Sunken);
    transmitState->setMinimumHeight(26);
    setBackColor(transmitState, ui::kDesktopButtonFace);

    receiveIndicator = makeEdit(QStringLiteral("PTT1"), QString::fromLatin1(kReceiveOffText), transmitBox);
    receiveIndicator->setReadOnly(true);
    receiveIndicator->setAlignment(Qt::AlignCenter);
    receiveIndicator->setFocusPolicy(Qt::NoFocus);
    setBackColor(receiveIndicator, ui::kDesktopButtonFace);

    requestWait = new WaitField(QStringLiteral("5000"), transmitBox);
    requestWait->setObjectName(QStringLiteral("Text15"));
    requestWait->setToolTip(QStringLiteral("Transmit request wait (ms)"));
    requestWait->setSizePolicy(QSizePolicy::Fixed, requestWait->sizePolicy().verticalPolicy());
    requestWait->setAlignment(Qt::AlignRight);

    meterFrame = new QFrame(transmitBox);
    meterFrame->setObjectName(QStringLiteral("Frame13"));
    meterFrame->setFrameShape(QFrame::StyledPanel);
    meterFrame->setMinimumHeight(18);
    meterLayout = new QVBoxLayout(meterFrame);
    meterLayout->setContentsMargins(2, 2, 2, 2);
    keepPlaceWhenHidden(meterFrame);

    auto *box = new QVBoxLayout(transmitBox);
    box->setSpacing(6);
    box->addWidget(transmitButton);
    box->addWidget(transmitState);
    box->addWidget(receiveIndicator);
    auto *wait = new QHBoxLayout;
    auto *waitLabel = new QLabel(QStringLiteral("TX wait ms"), transmitBox);
    waitLabel->setBuddy(requestWait); // what a screen reader calls the field
    wait->addWidget(waitLabel);
    wait->addWidget(requestWait);
    box->addLayout(wait);
    box->addWidget(meterFrame);
    box->addStretch(1);
}

void CommandPanels::buildUserButtons(QWidget *parent)
{
    userButtonPanel = makeFrame(QStringLiteral("Frame4"), QStringLiteral("User Defined Commands"), parent);
    auto *grid = new QGridLayout(userButtonPanel);
    grid->setSpacing(4);
    for (int k = 0; k < kUserButtons; ++k) {
        userButtons.at(k) = makeCaptionButton(command(81 + k), {}, userButtonPanel, kUserButtonWidest);
        userButtons.at(k)->setMinimumSize(96, 30);
        grid->addWidget(userButtons.at(k), k / 3, k % 3);
    }
    setupButtons = makeButton(command(19), QStringLiteral("Setup Buttons"), userButtonPanel);
    hideUserButtons = makeButton(command(18), QStringLiteral("Hide"), userButtonPanel);
    grid->addWidget(setupButtons, kUserButtons / 3, 0, 1, 2);
    grid->addWidget(hideUserButtons, kUserButtons / 3, 2);
}

void CommandPanels::buildChooser(QWidget *parent)
{
    chooserPanel = makeFrame(QStringLiteral("Frame10"), QStringLiteral("User Selection"), parent);
    chooseFrequencies = makeButton(command(74), QStringLiteral("User Freq Selection"), chooserPanel);
    chooseCommands = makeButton(command(75), QStringLiteral("User Define Commands"), chooserPanel);
    hideChooser = makeButton(command(76), QStringLiteral("Hide"), chooserPanel);
    auto *box = new QHBoxLayout(chooserPanel);
    box->addWidget(chooseFrequencies);
    box->addWidget(chooseCommands);
    box->addWidget(hideChooser);
}

void CommandPanels::buildNotice(QWidget *parent)
{
    requestNotice = new QFrame(parent);
    requestNotice->setObjectName(QStringLiteral("Frame11"));
    requestNotice->setFrameShape(QFrame::Panel);
    requestNotice->setFrameShadow(QFrame::Raised);
    setBackColor(requestNotice, QColor(255, 236, 160));
    auto *text = new QLabel(QStringLiteral("Transmit request sent - waiting for the link to go quiet"),
                            requestNotice);
    QFont f = text->font();
    f.setBold(true);
    text->setFont(f);
    auto *box = new QHBoxLayout(requestNotice);
    box->addWidget(text);
}

void CommandPanels::buildToolStrip(QWidget *parent)
{
    toolStrip = new QWidget(parent);
    keypadPicture = makePicture(QStringLiteral("Picture2"), Icon::Keypad, QStringLiteral("Frequency keypad"), toolStrip);
    stepsPicture = makePicture(QStringLiteral("Picture5"), Icon::Steps, QStringLiteral("Frequency steps"), toolStrip);
    chooserPicture =
        makePicture(QStringLiteral("Picture6"), Icon::Chooser, QStringLiteral("User selections"), toolStrip);
    remotePadPicture =
        makePicture(QStringLiteral("Picture8"), Icon::RemotePad, QStringLiteral("Remote Pad"), toolStrip);
    playbackPicture =
        makePicture(QStringLiteral("Picture1"), Icon::Speaker, QStringLiteral("Playback volume"), toolStrip);
    recordingPicture =
        makePicture(QStringLiteral("Picture4"), Icon::Microphone, QStringLiteral("Recording level"), toolStrip);
    volumeLabel = makeLabel(QStringLiteral("Label5"), QStringLiteral("Vol Lev"), toolStrip);
    micLabel = makeLabel(QStringLiteral("Label6"), QStringLiteral("Mic Lev"), toolStrip);

    auto *row = new QHBoxLayout(toolStrip);
    row->setContentsMargins(4, 0, 4, 0);
    row->addWidget(keypadPicture);
    row->addWidget(stepsPicture);
    row->addWidget(chooserPicture);
    row->addWidget(remotePadPicture);
    row->addStretch(1);
    row->addWidget(volumeLabel);
    row->addWidget(playbackPicture);
    row->addSpacing(12);
    row->addWidget(micLabel);
    row->addWidget(recordingPicture);
}

} // namespace tavrin
