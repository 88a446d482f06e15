#include "messaging/SysopBox.h"

#include "common/WindowNames.h"
#include "messaging/ChatFormat.h"
#include "messaging/PrivateLog.h"
#include "messaging/SendFailureTexts.h"
#include "messaging/SysopBoxTexts.h"
#include "protocol/ChatTexts.h"
#include "protocol/PrivateMessages.h"
#include "ui/FocusFrame.h"
#include "ui/ReadableLog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace tavrin::messaging {

namespace {

QPushButton *button(QWidget *parent, const char *name, const char *caption)
{
    auto *b = new QPushButton(QString::fromLatin1(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

// The screen area that shows the point, or nothing; with no screens known, any place will do.
std::optional<QRect> screenAreaAt(const QPoint &point)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (screens.isEmpty())
        return QRect();
    for (const QScreen *screen : screens)
        if (screen->availableGeometry().contains(point))
            return screen->availableGeometry();
    return std::nullopt;
}

// Less of the box than this on screen, each way, and it can hardly be seen or dragged back.
constexpr int kMinVisiblePx = 100;

// Where a box of `size` stored at `at` can be reached. A position from another monitor set-up
// (or a smaller screen) would otherwise leave the box where nobody can see it: one that no
// screen shows gives the default place, one whose box hangs almost wholly off its screen is
// moved just far enough in to show whole.
QPoint reachablePlace(const QPoint &at, const QSize &size, const QPoint &fallback)
{
    const std::optional<QRect> area = screenAreaAt(at);
    if (!area)
        return fallback;
    if (area->isNull())
        return at;
    const QRect shown = QRect(at, size).intersected(*area);
    if (shown.width() >= std::min(kMinVisiblePx, size.width()) && shown.height() >= std::min(kMinVisiblePx, size.height()))
        return at;
    return {std::max(area->left(), std::min(at.x(), area->right() + 1 - size.width())),
            std::max(area->top(), std::min(at.y(), area->bottom() + 1 - size.height()))};
}

} // namespace

// --- settings conversions -----------------------------------------------------------------

int twipsToPixels(double twips, int logicalDpi)
{
    return int(std::lround(twips * logicalDpi / sysop::kTwipsPerInch));
}

long pixelsToTwips(int pixels, int logicalDpi)
{
    return std::lround(double(pixels) * sysop::kTwipsPerInch / logicalDpi);
}

std::optional<double> readTwips(const QString &text)
{
    bool ok = false;
    const float value = text.trimmed().toFloat(&ok);
    // Single precision, as stored; anything that is not a finite number keeps the default.
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return double(value);
}

std::optional<bool> readCheck(const QString &text)
{
    const QString t = text.trimmed();
    if (t == QLatin1String("1"))
        return true;
    if (t == QLatin1String("0"))
        return false;
    return std::nullopt;
}

// --- window -------------------------------------------------------------------------------

SysopBox::SysopBox(ProfileStore &store, WindowRegistry &registry, const Clock &clock, Fields fields)
    : store_(store), registry_(registry), clock_(clock)
{
    setObjectName(QString::fromLatin1(windows::kSysopBox));
    setWindowTitle(QString::fromLatin1(sysop::kCaption));
    resize(sysop::kWidthPx, sysop::kHeightPx);
    // A message for the sysop shows the box while the operator may be typing elsewhere: the keys
    // stay there. Asked for by the operator, the box is made active (bringUp).
    setAttribute(Qt::WA_ShowWithoutActivating);
    if (fields == Fields::Now)
        ensureBuilt();
}

void SysopBox::ensureBuilt()
{
    if (status_)
        return;

    auto *title = new QLabel(QString::fromLatin1(sysop::kTitle), this);
    title->setObjectName(QStringLiteral("Label1"));
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.2);
    title->setFont(titleFont);
    title->setAlignment(Qt::AlignCenter);

    log_ = new QPlainTextEdit(this);
    log_->setObjectName(QStringLiteral("Text1"));
    nameForScreenReaders(log_, title->text());
    makeReadableLog(log_);
    log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // A word longer than the box breaks anywhere: looking for word breaks in it is slow.
    log_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);

    auto *frame = new QGroupBox(QString::fromLatin1(sysop::kFrameCaption), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    nodeCall_ = new QLineEdit(frame);
    nodeCall_->setObjectName(QStringLiteral("Text2"));
    message_ = new QLineEdit(frame);
    message_->setObjectName(QStringLiteral("Text3"));
    sendButton_ = button(frame, "Command3", sysop::kSendCaption);
    showChat_ = new QCheckBox(QString::fromLatin1(sysop::kCheckCaption), frame);
    showChat_->setObjectName(QStringLiteral("Check1"));
    auto *callLabel = new QLabel(QString::fromLatin1(sysop::kNodeCallLabel), frame);
    callLabel->setObjectName(QStringLiteral("Label2"));
    callLabel->setBuddy(nodeCall_);
    auto *messageLabel = new QLabel(QString::fromLatin1(sysop::kMessageLabel), frame);
    messageLabel->setObjectName(QStringLiteral("Label3"));
    messageLabel->setBuddy(message_);

    auto *grid = new QGridLayout(frame);
    grid->addWidget(callLabel, 0, 0);
    grid->addWidget(nodeCall_, 0, 1);
    grid->addWidget(messageLabel, 1, 0);
    grid->addWidget(message_, 1, 1);
    grid->addWidget(sendButton_, 1, 2);
    grid->addWidget(showChat_, 2, 0, 1, 3);
    grid->setColumnStretch(1, 1);

    // Holds the last wire text; the operator never sees it.
    wireText_ = new QLineEdit(this);
    wireText_->setObjectName(QStringLiteral("Text4"));
    wireText_->hide();

    auto *chatButton = button(this, "Command5", sysop::kChatCaption);
    auto *clearButton = button(this, "Command2", sysop::kClearCaption);
    auto *saveButton = button(this, "Command6", sysop::kSaveCaption);
    auto *hideButton = button(this, "Command1", sysop::kHideCaption);

    status_ = new QLabel(this);
    status_->setObjectName(QString::fromLatin1(sysop::kStatusLine));
    status_->setTextFormat(Qt::PlainText); // the client's failure text, as it gave it
    status_->setWordWrap(true);

    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {chatButton, clearButton, saveButton, hideButton})
        buttons->addWidget(b);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(log_, 1);
    layout->addWidget(frame);
    layout->addLayout(buttons);
    layout->addWidget(status_);

    connect(sendButton_, &QPushButton::clicked, this, &SysopBox::Send);
    connect(message_, &QLineEdit::returnPressed, this, &SysopBox::Send);
    // Return in the node call sends what is written; with no message yet it goes on to the
    // message rather than send an empty one.
    connect(nodeCall_, &QLineEdit::returnPressed, this, [this] {
        if (message_->text().isEmpty())
            message_->setFocus(Qt::TabFocusReason);
        else
            Send();
    });
    connect(clearButton, &QPushButton::clicked, log_, &QPlainTextEdit::clear);
    connect(chatButton, &QPushButton::clicked, this, &SysopBox::showChatWindow);
    connect(saveButton, &QPushButton::clicked, this, [this] { saveAndReport(); });
    connect(hideButton, &QPushButton::clicked, this, &SysopBox::hideBox);

    // From here on the controls hold what the members held; only the choice is kept in step,
    // for saving.
    showChat_->setChecked(showChatChecked_);
    connect(showChat_, &QCheckBox::toggled, this, [this](bool on) { showChatChecked_ = on; });
    nodeCall_->setText(nodeCallText_);
    status_->setText(statusText_);
}

void SysopBox::setVisible(bool visible)
{
    const bool opening = visible && !isVisible();
    if (visible)
        ensureBuilt();
    QWidget::setVisible(visible);
    // The box opens ready to write to a sysop: the keys go to the node call, or to the message
    // when the call is there already, not to the log or a button.
    if (opening && focusWidget() != nodeCall_ && focusWidget() != message_)
        (nodeCall_->text().isEmpty() ? nodeCall_ : message_)->setFocus(Qt::OtherFocusReason);
}

SysopBox::~SysopBox() = default;

void SysopBox::Form_Load(std::unique_ptr<EchoLinkClient> client)
{
    client_ = std::move(client);
    const ProfileSnapshot file = store_.load(QString::fromLatin1(sysop::kFileName));
    const auto setting = [&file](const char *key, const char *fallback) {
        return file.ReadSetting(QString::fromLatin1(key), QString::fromLatin1(fallback));
    };

    showChatChecked_ = readCheck(setting(sysop::kCheck1Key, sysop::kCheck1Default)).value_or(true);
    if (showChat_)
        showChat_->setChecked(showChatChecked_);

    const double defaultTwips = QByteArray(sysop::kPositionDefault).toDouble();
    const double left = readTwips(setting(sysop::kLeftKey, sysop::kPositionDefault)).value_or(defaultTwips);
    const double top = readTwips(setting(sysop::kTopKey, sysop::kPositionDefault)).value_or(defaultTwips);
    const QPoint at(twipsToPixels(left, logicalDpiX()), twipsToPixels(top, logicalDpiY()));
    const QPoint home(twipsToPixels(defaultTwips, logicalDpiX()), twipsToPixels(defaultTwips, logicalDpiY()));
    move(reachablePlace(at, frameGeometry().size(), home));
}

void SysopBox::Send()
{
    ensureBuilt();
    // A callsign has no blanks: one pasted with a blank around it would address nobody.
    nodeCall_->setText(nodeCall_->text().trimmed().toUpper());
    const QString call = nodeCall_->text();
    const QString message = message_->text();
    const QTime now = clock_.now().time();
    const QString time = remote::hoursMinutes(now);

    wireText_->setText(remote::wireText(remote::SendForm::SysopEnter, call, message));
    const QString wire = remote::stampOutgoing(now, wireText_->text());

    QString failure;
    if (!client_) {
        failure = QString::fromLatin1(sendtexts::kNoClient);
    } else {
        try {
            useAutomationTimeouts(client_.get());
            client_->SendChatText(wire);
        } catch (const std::exception &e) {
            failure = QString::fromUtf8(e.what());
        }
    }

    // The log never claims a message went out that did not; a failed one keeps its text
    // in the message box so nothing typed is lost.
    log_->moveCursor(QTextCursor::End);
    log_->insertPlainText(forLog(sentLogLine(call, time, message, failure.isEmpty())));
    log_->moveCursor(QTextCursor::End);
    message_->setFocus();

    if (!failure.isEmpty()) {
        status_->setText(QString::fromLatin1(sendtexts::kNotSent).arg(failure));
        return;
    }
    status_->clear();
    message_->clear();
    // Shown, not made active: the operator may have more to send from here.
    if (QWidget *chat = registry_.window(QString::fromLatin1(windows::kChatWindow)); chat && showChat_->isChecked()) {
        chat->show();
        chat->raise();
    }
}

SaveResult SysopBox::SaveData()
{
    const KeyValues values = {
        {QString::fromLatin1(sysop::kCheck1Key), showChatChecked_ ? QStringLiteral("1") : QStringLiteral("0")},
        {QString::fromLatin1(sysop::kLeftKey), QString::number(pixelsToTwips(pos().x(), logicalDpiX()))},
        {QString::fromLatin1(sysop::kTopKey), QString::number(pixelsToTwips(pos().y(), logicalDpiY()))},
    };
    return store_.writeBatch(QString::fromLatin1(sysop::kFileName), values);
}

bool SysopBox::saveAndReport()
{
    const SaveResult saved = SaveData();
    setStatus(saved ? QString() : QString::fromLatin1(sysop::kSaveFailed).arg(saved.error));
    return saved.ok;
}

void SysopBox::setStatus(const QString &text)
{
    if (status_)
        status_->setText(text);
    else
        statusText_ = text;
}

void SysopBox::appendMessage(const QString &entry)
{
    // The box shows at once, so it is built now rather than keeping the entry for later.
    ensureBuilt();
    log_->moveCursor(QTextCursor::End);
    log_->insertPlainText(entry);
    log_->moveCursor(QTextCursor::End);
    show();
    raise();
}

void SysopBox::setNodeCall(const QString &call)
{
    if (!nodeCall_)
        nodeCallText_ = call;
    else if (nodeCall_->text() != call)
        nodeCall_->setText(call);
}

void SysopBox::showChatWindow()
{
    registry_.bringUp(QString::fromLatin1(windows::kChatWindow));
}

void SysopBox::hideBox()
{
    // Saved on the way out: the position is only worth keeping where the operator left it.
    saveAndReport();
    hide();
}

void SysopBox::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        hideBox();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SysopBox::closeEvent(QCloseEvent *event)
{
    // The title-bar button hides the box (it lives for the whole run) and saves like "Hide".
    event->accept();
    saveAndReport();
}

} // namespace tavrin::messaging
