#include "messaging/ChatWindow.h"

#include "common/WindowNames.h"
#include "messaging/ChatBox.h"
#include "messaging/ChatFormat.h"
#include "messaging/ChatSettings.h"
#include "messaging/Emoticons.h"
#include "messaging/PrivateLog.h"
#include "messaging/SendFailureTexts.h"
#include "protocol/ChatTexts.h"

#include "BuildConfig.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

namespace tavrin::messaging {

using namespace chatui;

namespace {


constexpr char kNotSaved[] = "Settings not saved: %1";
constexpr char kNoDestination[] = "enter the callsign to send the message to";

const QColor kOwnTag(255, 0, 0);
const QColor kOtherTag(0, 0, 255);

// One step of the incoming-line handler: whatever fails in it, the next step runs.
template <class F>
void step(F &&f) noexcept
{
    try {
        std::forward<F>(f)();
    } catch (...) {
    }
}

} // namespace

ChatWindow::ChatWindow(ProfileStore &store, WindowRegistry &registry, const Clock &clock, Fields fields)
    : store_(store), registry_(registry), clock_(clock), chatBox_(std::make_unique<ChatBox>())
{
    setObjectName(QLatin1String(windows::kChatWindow));
    // A message for us (or any line, with "Show Chat Box When Message Received") shows the
    // window while the operator may be typing elsewhere, a frequency in the main window say:
    // the keys stay there, or the rest would go out on the chat. Asked for by the operator,
    // the window is made active (bringUp).
    setAttribute(Qt::WA_ShowWithoutActivating);
    if (fields == Fields::Now)
        ensureBuilt();
}

ChatWindow::~ChatWindow() = default;

void ChatWindow::ensureBuilt()
{
    if (built())
        return;
    c_ = buildChatControls(this);
    chatBox_->attach(c_.chatBox);
    // The controls take what was kept (before they are wired: nothing changed, nothing to tell).
    applySettings(kept_);
    c_.status->setReport(statusText_);
    // Only the controls change the panels: until now they stood as loaded.
    resetPanels();
    wire();
}

void ChatWindow::setVisible(bool visible)
{
    if (visible)
        ensureBuilt();
    QWidget::setVisible(visible);
}

void ChatWindow::wire()
{
    connect(c_.send, &QPushButton::clicked, this, &ChatWindow::Send_Click);
    connect(c_.sendBox, &QLineEdit::returnPressed, this, &ChatWindow::Send_Click);
    connect(c_.privateSend, &QPushButton::clicked, this, [this] { SendPrivate(remote::SendForm::SysopButton); });
    connect(c_.privateText, &QLineEdit::returnPressed, this, [this] { SendPrivate(remote::SendForm::SysopEnter); });
    connect(c_.clearChat, &QPushButton::clicked, this, [this] { chatBox_->clear(); });
    connect(c_.privateClear, &QPushButton::clicked, c_.privateLog, &QTextEdit::clear);
    connect(c_.privateToggle, &QPushButton::clicked, this, &ChatWindow::togglePrivatePanel);
    connect(c_.extraToggle, &QPushButton::clicked, this, &ChatWindow::toggleFilterPanel);
    connect(c_.textSize, &QPushButton::clicked, this, &ChatWindow::toggleTextSize);
    connect(c_.save, &QPushButton::clicked, this, [this] { SaveData(); });
    connect(c_.hide, &QPushButton::clicked, this, &QWidget::hide);
    connect(c_.sysopBox, &QPushButton::clicked, this,
            [this] { registry_.bringUp(QLatin1String(windows::kSysopBox)); });
    connect(c_.extraCall, &QLineEdit::textChanged, this, &ChatWindow::extraCallChanged);
    for (int k = 0; k < int(c_.pictures.size()); ++k)
        connect(c_.pictures.at(size_t(k)), &QToolButton::clicked, this, [this, k] { insertPicture(k); });
}

EchoLinkClient &ChatWindow::requireClient()
{
    if (!client_)
        throw EchoLinkError(sendtexts::kNoClient);
    return *client_;
}

// --- loading and settings ---------------------------------------------------------------

void ChatWindow::Form_Load(std::unique_ptr<EchoLinkClient> client)
{
    client_ = std::move(client);
    if (client_) {
        connect(client_.get(), &EchoLinkClient::ChatTextReceived, this, &ChatWindow::EchoLink_ChatTextReceived);
        connect(client_.get(), &EchoLinkClient::Closing, this, &ChatWindow::EchoLink_Closing);
    }
    localCallsign_ = askOr(QString(), [this] { return requireClient().StationCallsign(); });
    setWindowTitle(QStringLiteral(TAVRIN_PRODUCT_NAME) + QStringLiteral("    ") + localCallsign_
                   + QStringLiteral("   v%1.%2.%3")
                         .arg(TAVRIN_VERSION_MAJOR)
                         .arg(TAVRIN_VERSION_MINOR)
                         .arg(TAVRIN_VERSION_REVISION));
    ownSenderTag_ = localCallsign_ + QStringLiteral("> ");
    privateMarker_ = remote::privateMarker(localCallsign_);
    readSettings();
    resizeTwips(kWindowWidth, kWindowHeight);
    if (built())
        resetPanels();
}

void ChatWindow::resetPanels()
{
    // The red-box option is never stored: every run starts with ordinary private messages.
    c_.redBox->setChecked(false);
    c_.extraToggle->setText(QLatin1String(kShowExtra));
    c_.filterPanel->setVisible(false);
    setPrivatePanel(false, kChatBoxTall);
}

void ChatWindow::readSettings()
{
    applySettings(ChatSettings::read(store_.load(QLatin1String(chatkeys::kFile))));
}

void ChatWindow::applySettings(const ChatSettings &s)
{
    if (!built()) {
        const QString call = kept_.extraCall;
        kept_ = s;
        // As the option pair below: "Stop Chat" wins.
        kept_.useChat = s.useChat && !s.stopChat;
        kept_.extraCall = call;
        setExtraCallText(s.extraCall);
        return;
    }
    c_.caseSensitive->setChecked(s.caseSensitive);
    c_.showOnLine->setChecked(s.showOnLine);
    c_.smallText->setChecked(s.smallText);
    // As an option pair takes its two values in turn: setting one selects it and clears the
    // other, clearing one leaves the pair possibly with none selected (chat then stops).
    const bool stop = s.stopChat;
    const bool use = s.useChat && !stop;
    c_.useChat->setAutoExclusive(false);
    c_.stopChat->setAutoExclusive(false);
    c_.useChat->setChecked(use);
    c_.stopChat->setChecked(stop);
    c_.useChat->setAutoExclusive(true);
    c_.stopChat->setAutoExclusive(true);
    c_.extraCall->setText(s.extraCall);
    for (size_t k = 0; k < c_.filters.size(); ++k)
        c_.filters.at(k)->setText(s.filters.at(k));
    applyTextSize(s.smallText);
}

ChatSettings ChatWindow::currentSettings() const
{
    if (!built())
        return kept_;
    ChatSettings s;
    s.caseSensitive = c_.caseSensitive->isChecked();
    s.showOnLine = c_.showOnLine->isChecked();
    s.smallText = c_.smallText->isChecked();
    s.useChat = c_.useChat->isChecked();
    s.stopChat = c_.stopChat->isChecked();
    s.extraCall = c_.extraCall->text();
    for (size_t k = 0; k < c_.filters.size(); ++k)
        s.filters.at(k) = c_.filters.at(k)->text();
    return s;
}

SaveResult ChatWindow::SaveData()
{
    SaveResult result = store_.writeBatch(QLatin1String(chatkeys::kFile), currentSettings().toKeyValues());
    if (!result) {
        showStatus(QString::fromLatin1(kNotSaved).arg(result.error));
        saveFailureShown_ = true;
    } else if (saveFailureShown_) {
        // Saved now: the report of the last failure would say otherwise.
        showStatus(QString());
    }
    return result;
}

void ChatWindow::showStatus(const QString &text)
{
    saveFailureShown_ = false;
    if (built())
        c_.status->setReport(text);
    else
        statusText_ = text;
}

bool ChatWindow::showOnLine() const { return built() ? c_.showOnLine->isChecked() : kept_.showOnLine; }

void ChatWindow::setExtraCallText(const QString &call)
{
    if (built()) {
        // The field tells of the change itself.
        if (c_.extraCall->text() != call)
            c_.extraCall->setText(call);
        return;
    }
    if (kept_.extraCall == call)
        return;
    kept_.extraCall = call;
    emit extraCallChanged(call);
}

// --- panels and sizes -------------------------------------------------------------------

void ChatWindow::resizeTwips(int width, int height)
{
    resize(twipsToPx(width, logicalDpiX()), twipsToPx(height, logicalDpiY()));
}

void ChatWindow::setPrivatePanel(bool open, int chatBoxTwips)
{
    c_.privateToggle->setText(QLatin1String(open ? kHidePrivate : kShowPrivate));
    c_.clearChat->setVisible(!open);
    chatBoxTwips_ = chatBoxTwips;
    // Shrink the chat box before the panel appears (and hide the panel before the box
    // grows), so the window never needs more room than it has.
    if (open) {
        fitChatBox();
        c_.privatePanel->setVisible(true);
    } else {
        c_.privatePanel->setVisible(false);
        fitChatBox();
    }
}

void ChatWindow::fitChatBox()
{
    // The box has its set height at the window's own size; a window made taller (maximized,
    // or pulled larger) gives the chat the room, not blank space under the icons.
    const int ownHeight = c_.filterPanel->isVisibleTo(this) ? kExtendedHeight : kWindowHeight;
    const int extra = std::max(0, height() - twipsToPx(ownHeight, logicalDpiY()));
    // Only its largest size follows the window: the window may still be made small again.
    const int own = twipsToPx(chatBoxTwips_, logicalDpiY());
    c_.chatBox->setMinimumHeight(own);
    c_.chatBox->setMaximumHeight(own + extra);
}

void ChatWindow::resizeEvent(QResizeEvent *event)
{
    if (built())
        fitChatBox();
    QWidget::resizeEvent(event);
}

void ChatWindow::togglePrivatePanel()
{
    if (c_.privateToggle->text() != QLatin1String(kHidePrivate))
        setPrivatePanel(true, kChatBoxWithPanel);
    else
        setPrivatePanel(false, kChatBoxTall);
}

void ChatWindow::toggleFilterPanel()
{
    if (c_.extraToggle->text() != QLatin1String(kShowExtra)) {
        c_.filterPanel->setVisible(false);
        // The layout's minimum must drop before the window may shrink.
        layout()->activate();
        resizeTwips(kWindowWidth, kWindowHeight);
        c_.extraToggle->setText(QLatin1String(kShowExtra));
    } else {
        c_.filterPanel->setVisible(true);
        resizeTwips(kExtendedWidth, kExtendedHeight);
        c_.extraToggle->setText(QLatin1String(kHideExtra));
    }
}

void ChatWindow::applyTextSize(bool small)
{
    QFont font = c_.chatBox->font();
    font.setPointSize(small ? kSmallPoints : kLargePoints);
    font.setBold(!small);
    c_.chatBox->setFont(font);
    c_.textSize->setText(QLatin1String(small ? kTextSizeLarge : kTextSizeSmall));
    c_.smallText->setChecked(small);
}

void ChatWindow::toggleTextSize()
{
    applyTextSize(c_.textSize->text() == QLatin1String(kTextSizeSmall));
    // To the private message; with its panel closed, to the send line: left on the button, the
    // next space would switch the size back (and save again).
    (c_.privatePanel->isVisibleTo(this) ? c_.privateText : c_.sendBox)->setFocus();
    SaveData();
}

void ChatWindow::insertPicture(int button)
{
    const EmoticonButton &b = emoticonButtons().at(size_t(button));
    c_.sendBox->setText(c_.sendBox->text() + QLatin1String(b.inserted));
    c_.sendBox->setCursorPosition(int(c_.sendBox->text().size()));
    c_.sendBox->setFocus();
}

void ChatWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && built()) {
        // The send line takes the focus, unless the operator was typing in another field of
        // this window (a private message, a filter): after a look at another window, the rest
        // of that text must not land in the open chat and go out with the next Enter.
        QWidget *typing = focusWidget();
        if (!qobject_cast<QLineEdit *>(typing) || !typing->isVisible())
            c_.sendBox->setFocus();
    }
    QWidget::changeEvent(event);
}

void ChatWindow::closeEvent(QCloseEvent *event)
{
    // Closed rather than hidden: edits that were not saved are dropped.
    hide();
    readSettings();
    event->accept();
}

// --- incoming lines ---------------------------------------------------------------------

void ChatWindow::EchoLink_Closing() { emit endProgramRequested(); }

QString ChatWindow::extraCall() const { return built() ? c_.extraCall->text() : kept_.extraCall; }

void ChatWindow::appendToChatBox(const QString &line)
{
    chatBox_->appendPlain(line);
    if (built())
        caretToEnd(c_.chatBox);
}

void ChatWindow::EchoLink_ChatTextReceived(const QString &line)
{
    // A version query is answered whatever happens to the line afterwards.
    step([&] {
        if (remote::isChatVersionQuery(line))
            requireClient().SendChatText(remote::chatVersionAnswer());
    });
    // A busy client delays our calls instead of failing them. Pending events are not run
    // here: that would reorder chat lines.
    step([&] { useAutomationTimeouts(client_.get()); });
    // Private messages are taken before "Use Chat" and the filters: neither may lose one.
    step([&] { privatePart(line); });
    // With "Use Chat" off, or when a filter text or a built-in word drops the line, it is
    // shown nowhere.
    const ChatSettings s = currentSettings();
    if (!s.useChat)
        return;
    if (ChatFilter(QStringList(s.filters.begin(), s.filters.end()), s.caseSensitive).drops(line))
        return;
    // The line is split at its sender tag, stamped when "Time Stamp Incoming" is on, shown in
    // the chat box and copied to the main window and the Remote Pad; the window comes up when
    // asked to, and every log scrolls to the new line.
    SenderSplit split = splitSender(line);
    // The tag stays on one line: a line break in it would start a line of its own under a
    // coloured tag that reads as another station's.
    split.tag = oneLine(split.tag);
    split.message = crToCrLf(split.message);
    const bool stamp = built() && c_.stampIncoming->isChecked();
    const QString shown =
        stamp ? stampIncoming(clock_.now().time(), split.message) : split.message;
    step([&] { AddChatLine(split.tag, shown); });
    step([&] { emit incomingLine(split.tag, shown, split.message); });
    step([&] {
        if (showOnLine())
            show();
    });
    step([&] { chatCaretToEnd(); });
}

void ChatWindow::privatePart(const QString &line)
{
    // The extra call defaults to the local callsign while it is too short to be a call, and
    // is always upper-cased; a blank around it (pasted) would make it match nothing, and the
    // settings file drops it at the next start anyway.
    if (extraCall().trimmed().size() < 3)
        setExtraCallText(localCallsign_);
    setExtraCallText(extraCall().trimmed().toUpper());
    // The reply marker follows the destination box, which may have changed since the last line
    // (nobody has typed into it while it is not built).
    const QString destination = built() ? c_.destination->text() : QString();
    extraReplyMarker_ = remote::extraReplyMarker(localCallsign_, destination);
    // A line for us empties the destination box, is logged, opens the private panel and is
    // answered with a receipt.
    const remote::PrivateMarkers markers{extraCall(), localCallsign_, destination};
    if (!markers.addressedBy(line))
        return;
    // The window shows it: its controls are needed from here on.
    ensureBuilt();
    c_.destination->clear();
    const remote::PrivateSplit message = remote::splitPrivate(line);
    step([&] { appendToLog(c_.privateLog, receivedLogLine(message, localCallsign_)); });
    step([&] {
        show();
        setPrivatePanel(true, kChatBoxWithMessage);
    });
    step([&] {
        const QString receipt = remote::receiptFor(message, localCallsign_, c_.extraCall->text());
        if (!receipt.isEmpty())
            requireClient().SendChatText(receipt);
    });
    caretToEnd(c_.privateLog);
}

void ChatWindow::AddChatLine(const QString &senderTag, const QString &text)
{
    chatBox_->appendLine(senderTag, senderTag == ownSenderTag_ ? kOwnTag : kOtherTag, text);
    if (showOnLine())
        show();
    chatCaretToEnd();
}

void ChatWindow::chatCaretToEnd()
{
    // Placing the caret lays the box out up to it; a hidden box does that once, when shown.
    if (isVisible())
        caretToEnd(c_.chatBox);
}

void ChatWindow::showEvent(QShowEvent *event)
{
    caretToEnd(c_.chatBox);
    caretToEnd(c_.privateLog);
    QWidget::showEvent(event);
}

// --- sending ----------------------------------------------------------------------------

void ChatWindow::TXText()
{
    ensureBuilt();
    const QString kept = c_.sendBox->text();
    QString wireLine = kept;
    if (c_.stampOutgoing->isChecked()) {
        stampedOutgoing_ = remote::stampOutgoing(clock_.now().time(), kept);
        wireLine = stampedOutgoing_;
    }
    try {
        EchoLinkClient &client = requireClient();
        useAutomationTimeouts(&client);
        client.SendChatText(wireLine);
    } catch (const std::exception &e) {
        // Nothing typed is lost: the text stays in the send box, and no own line claims
        // it went out.
        lastSendOk_ = false;
        showStatus(QString::fromLatin1(sendtexts::kNotSent).arg(QString::fromUtf8(e.what())));
        return;
    }
    lastSendOk_ = true;
    showStatus(QString());
    c_.sendBox->setText(kept);
    TXText2();
    c_.sendBox->clear();
}

void ChatWindow::TXText2()
{
    ensureBuilt();
    if (c_.stampOutgoing->isChecked())
        c_.sendBox->setText(stampedOutgoing_);
    if (!c_.sendBox->text().isEmpty()) {
        AddChatLine(ownSenderTag_, c_.sendBox->text());
        c_.sendBox->clear();
    }
    if (c_.showOnLine->isChecked())
        show();
    chatCaretToEnd();
}

void ChatWindow::Send_Click()
{
    ensureBuilt();
    const QString text = c_.sendBox->text();
    TXText();
    // The pad's log shows the line only once it went out.
    if (lastSendOk_)
        emit ownLineSent(localCallsign_ + QStringLiteral(">:") + text + QLatin1String(chattexts::kCrLf));
    // A click on Send leaves the focus on the button, where the next line would be lost and a
    // space would send again: typing goes on in the send line.
    c_.sendBox->setFocus();
}

void ChatWindow::SendPrivate(remote::SendForm sysopForm)
{
    ensureBuilt();
    // A callsign has no blanks: one pasted with a blank around it would address nobody.
    const QString destination = c_.destination->text().trimmed().toUpper();
    c_.destination->setText(destination);
    // A receipt empties the destination box; ":~text" would go to nobody.
    if (destination.trimmed().isEmpty()) {
        showStatus(QString::fromLatin1(sendtexts::kNotSent).arg(QLatin1String(kNoDestination)));
        c_.destination->setFocus();
        return;
    }
    const QString message = c_.privateText->text();
    const remote::SendForm form = c_.redBox->isChecked() ? sysopForm : remote::SendForm::Private;
    const QString typedChat = c_.sendBox->text();
    c_.sendBox->setText(remote::wireText(form, destination, message));
    TXText();
    // The wire text is no one's typing: on a failure the send box gets back what was typed
    // there, and the message stays in its own box.
    if (!lastSendOk_)
        c_.sendBox->setText(typedChat);
    appendToLog(c_.privateLog, sentLogLine(destination, remote::hoursMinutes(clock_.now().time()), message, lastSendOk_));
    caretToEnd(c_.privateLog);
    if (lastSendOk_)
        c_.privateText->clear();
    c_.privateText->setFocus();
}

} // namespace tavrin::messaging
