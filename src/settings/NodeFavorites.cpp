#include "settings/NodeFavorites.h"

#include "common/WindowNames.h"
#include "settings/OneLineValidator.h"
#include "ui/FocusFrame.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tavrin {

namespace {

constexpr char kFileName[] = "NodeFavorites.ini";
constexpr char kReadPrefix[] = "Text";
constexpr char kFirstDefault[] = "XX9XYZ-L";
constexpr char kTitleGap[] = "  ";
constexpr char kVersionMark[] = "v";
constexpr char kFrameTitle[] = "Node Favorites";
constexpr char kToggleCaption[] = "Con/Disc";
constexpr char kDisconnectAllCaption[] = "Disconnect All";
constexpr char kHideCaption[] = "Hide";
constexpr char kSaveCaption[] = "Save your Data";
constexpr char kSavedText[] = "Saved.";
constexpr char kNoClient[] = "EchoLink client not running";
constexpr char kToggleFailed[] = "Could not link or unlink %1: %2";
constexpr char kDisconnectAllFailed[] = "Could not drop all links: %1";

QStringList keysWithPrefix(const char *prefix)
{
    QStringList keys;
    for (int k = 1; k <= NodeFavorites::kRows; ++k)
        keys << QLatin1String(prefix) + QString::number(k);
    return keys;
}

// Upper-cases what was typed without moving the cursor; a letter whose capital is longer
// (ß) shifts the cursor by the difference.
void upperCaseTyped(QLineEdit *edit, const QString &text)
{
    const QString upper = text.toUpper();
    if (upper == text)
        return;
    const int cursor = edit->cursorPosition();
    const int shift = int(text.left(cursor).toUpper().size()) - cursor;
    edit->setText(upper);
    edit->setCursorPosition(cursor + shift);
}

} // namespace

NodeFavorites::NodeFavorites(ProfileStore &store, QString productName, QString versionText, Fields fields,
                             QWidget *parent)
    : QWidget(parent), store_(store), productName_(std::move(productName)), versionText_(std::move(versionText))
{
    setObjectName(QString::fromLatin1(windows::kNodeFavorites));
    setWindowTitle(productName_ + QLatin1String(kTitleGap) + QLatin1String(kVersionMark) + versionText_);
    for (int k = 1; k <= kRows; ++k)
        callsigns_ << defaultCallsign(k);
    if (fields == Fields::Now)
        ensureBuilt();
}

void NodeFavorites::ensureBuilt()
{
    if (statusLine_)
        return;

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(10, 8, 10, 8);

    auto *frame = new QGroupBox(QString::fromLatin1(kFrameTitle), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    auto *grid = new QGridLayout(frame);
    grid->setVerticalSpacing(4);
    for (int k = 1; k <= kRows; ++k) {
        auto *edit = new QLineEdit(frame);
        edit->setObjectName(QStringLiteral("Text%1").arg(k));
        edit->setMinimumWidth(150);
        // Told apart by its row: the frame's title alone names all of them alike.
        nameForScreenReaders(edit, QString::fromLatin1(kFrameTitle) + QStringLiteral(" %1").arg(k));
        // The file keeps one line per row: a pasted break would come back as a blank.
        edit->setValidator(new OneLineValidator(edit));
        // Whatever puts text in the field (typing, the capitals below, a test or scenario
        // writing it) puts it in the row. The field's own text, not the signal's: a keystroke's
        // textChanged comes after textEdited has put the capitals in.
        connect(edit, &QLineEdit::textChanged, this, [this, k, edit] { callsigns_[k - 1] = edit->text(); });
        connect(edit, &QLineEdit::textEdited, this, [this, edit](const QString &text) {
            upperCaseTyped(edit, text);
            // An earlier "Saved." is no longer true.
            if (status_.text() == QLatin1String(kSavedText))
                clearStatus();
        });
        grid->addWidget(edit, k - 1, 0);
        callsignEdits_.append(edit);

        auto *toggle = new QPushButton(QString::fromLatin1(kToggleCaption), frame);
        toggle->setObjectName(QStringLiteral("Command%1").arg(k));
        connect(toggle, &QPushButton::clicked, this, [this, k] { linkOrUnlink(k); });
        grid->addWidget(toggle, k - 1, 1);
    }
    outer->addWidget(frame);

    const auto makeButton = [this](const char *name, const char *caption) {
        auto *button = new QPushButton(QString::fromLatin1(caption), this);
        button->setObjectName(QString::fromLatin1(name));
        return button;
    };
    auto *all = makeButton("DisconnectAll", kDisconnectAllCaption);
    connect(all, &QPushButton::clicked, this, &NodeFavorites::disconnectAll);
    outer->addWidget(all);
    auto *row = new QHBoxLayout;
    auto *hideButton = makeButton("EndAndSave", kHideCaption);
    connect(hideButton, &QPushButton::clicked, this, &QWidget::hide);
    auto *save = makeButton("SaveIt", kSaveCaption);
    connect(save, &QPushButton::clicked, this, [this] { SaveData(); });
    row->addWidget(hideButton);
    row->addWidget(save);
    outer->addLayout(row);

    statusLine_ = new QLabel(this);
    statusLine_->setObjectName(QStringLiteral("StatusLine"));
    statusLine_->setWordWrap(true);
    outer->addWidget(statusLine_);

    status_.attach(statusLine_);
    // setText() raises no textEdited: stored text is shown as stored, not upper-cased.
    const QStringList calls = callsigns_;
    for (int k = 1; k <= kRows; ++k)
        callsignEdits_.at(k - 1)->setText(calls.at(k - 1));
}

void NodeFavorites::setVisible(bool visible)
{
    if (visible)
        ensureBuilt();
    QWidget::setVisible(visible);
}

NodeFavorites::~NodeFavorites() = default;

QString NodeFavorites::fileName()
{
    return QString::fromLatin1(kFileName);
}

QString NodeFavorites::defaultCallsign(int k)
{
    return k == 1 ? QString::fromLatin1(kFirstDefault) : QString();
}

QStringList NodeFavorites::readKeys()
{
    static const QStringList keys = keysWithPrefix(kReadPrefix);
    return keys;
}

QStringList NodeFavorites::writeKeys()
{
    static const QStringList keys = writtenKeys(readKeys());
    return keys;
}

void NodeFavorites::Form_Load(std::unique_ptr<EchoLinkClient> client)
{
    client_ = std::move(client);
    if (client_)
        connect(client_.get(), &EchoLinkClient::Closing, this, &NodeFavorites::EchoLink_Closing);

    // Without a callsign the title simply goes without it.
    QString callsign;
    const bool known = ignoreErrors([&] { callsign = requireClient().StationCallsign(); });
    QString title = productName_ + QLatin1String(kTitleGap);
    if (known && !callsign.isEmpty())
        title += callsign + QLatin1String(kTitleGap);
    setWindowTitle(title + QLatin1String(kVersionMark) + versionText_);

    reload();
    if (!client_)
        showStatus(QString::fromLatin1(kNoClient));
}

QString NodeFavorites::callsign(int k) const
{
    return callsigns_.at(k - 1);
}

SaveResult NodeFavorites::SaveData()
{
    const QStringList keys = writeKeys();
    KeyValues values;
    for (int k = 1; k <= kRows; ++k)
        values.append({keys.at(k - 1), callsign(k)});
    const SaveResult result = store_.writeBatch(fileName(), values);
    showStatus(result ? QString::fromLatin1(kSavedText) : result.error, !result);
    return result;
}

void NodeFavorites::reload()
{
    const ProfileSnapshot snapshot = store_.load(fileName());
    const QStringList keys = readKeys();
    for (int k = 1; k <= kRows; ++k)
        callsigns_[k - 1] = snapshot.ReadSetting(keys.at(k - 1), defaultCallsign(k));
    // setText() raises no textEdited: stored text is shown as stored, not upper-cased.
    const QStringList calls = callsigns_;
    for (int k = 1; k <= callsignEdits_.size(); ++k)
        callsignEdits_.at(k - 1)->setText(calls.at(k - 1));
}

void NodeFavorites::EchoLink_Closing()
{
    emit endProgramRequested();
}

void NodeFavorites::closeEvent(QCloseEvent *event)
{
    // Closing is hiding plus forgetting unsaved edits; the window and its handle live on.
    event->ignore();
    hide();
    reload();
}

void NodeFavorites::linkOrUnlink(int k)
{
    // A blank typed around the callsign is no part of it; a row of blanks is a free row.
    const QString c = callsign(k).trimmed();
    if (c.isEmpty())
        return;
    try {
        EchoLinkClient &client = requireClient();
        if (client.IsConnected(c))
            client.Disconnect(c);
        else
            client.Connect(c, true);
        clearStatus();
    } catch (const std::exception &e) {
        showStatus(QString::fromLatin1(kToggleFailed).arg(c, QString::fromUtf8(e.what())));
    }
}

void NodeFavorites::disconnectAll()
{
    try {
        requireClient().DisconnectAll();
        clearStatus();
    } catch (const EchoLinkError &e) {
        showStatus(QString::fromLatin1(kDisconnectAllFailed).arg(QString::fromUtf8(e.what())));
    }
}

EchoLinkClient &NodeFavorites::requireClient() const
{
    if (!client_)
        throw EchoLinkError(kNoClient);
    return *client_;
}

void NodeFavorites::showStatus(const QString &text, bool failure)
{
    status_.show(text, failure);
}

void NodeFavorites::clearStatus()
{
    status_.clear(); // the colour stays as it was
}

} // namespace tavrin
