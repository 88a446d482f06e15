#include "settings/UserButtonEditor.h"

#include "common/WindowNames.h"
#include "settings/OneLineValidator.h"
#include "ui/FocusFrame.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace tavrin {

namespace {

constexpr char kTitle[] = "User Define Buttons";
constexpr char kCaptionHeading[] = "Button Text";
constexpr char kCommandHeading[] = "Text Command";
constexpr char kCaptionHint[] = "Button text 13 Chrs Max";
constexpr char kCommandHint[] = "Text command ";
constexpr char kSaveCaption[] = "Save";
constexpr char kHideCaption[] = "Hide";
constexpr char kSavedText[] = "Saved.";
constexpr char kTimerName[] = "Timer1";
constexpr int kRefreshMs = 1000;

QLabel *heading(const QString &name, const char *text, QWidget *parent)
{
    auto *label = new QLabel(QString::fromLatin1(text), parent);
    label->setObjectName(name);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

} // namespace

UserButtonEditor::UserButtonEditor(ProfileStore &store, Fields fields, QWidget *parent)
    : QWidget(parent), store_(store)
{
    setObjectName(QString::fromLatin1(windows::kUserButtonEditor));
    setWindowTitle(QString::fromLatin1(kTitle));

    // Runs from creation for the whole run, hidden or not, built or not.
    timer1_ = new QTimer(this);
    timer1_->setObjectName(QString::fromLatin1(kTimerName));
    timer1_->setInterval(kRefreshMs);
    connect(timer1_, &QTimer::timeout, this, &UserButtonEditor::Timer1_Timer);
    timer1_->start();

    if (fields == Fields::Now)
        ensureBuilt();
}

void UserButtonEditor::ensureBuilt()
{
    if (statusLine_)
        return;

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(10, 8, 10, 8);
    outer->setSpacing(6);

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(4);
    grid->addWidget(heading(QStringLiteral("Label1"), kCaptionHeading, this), 0, 1);
    grid->addWidget(heading(QStringLiteral("Label2"), kCommandHeading, this), 0, 2);
    for (int k = 1; k <= UserButtons::kButtons; ++k) {
        grid->addWidget(new QLabel(QString::number(k), this), k, 0, Qt::AlignRight);

        auto *caption = new QLineEdit(this);
        caption->setObjectName(QStringLiteral("Text%1").arg(k));
        caption->setMaxLength(UserButtons::kCaptionMaxLength);
        caption->setPlaceholderText(QString::fromLatin1(kCaptionHint));
        caption->setMinimumWidth(170);
        caption->setValidator(new OneLineValidator(caption));
        grid->addWidget(caption, k, 1);
        // Read by its row and column, as the grid shows it.
        nameForScreenReaders(caption, QStringLiteral("%1: ").arg(k) + QString::fromLatin1(kCaptionHeading));
        captionEdits_.append(caption);

        auto *command = new QLineEdit(this);
        command->setObjectName(QStringLiteral("Text%1a").arg(k));
        command->setPlaceholderText(QString::fromLatin1(kCommandHint));
        command->setMinimumWidth(220);
        command->setValidator(new OneLineValidator(command));
        grid->addWidget(command, k, 2);
        nameForScreenReaders(command, QStringLiteral("%1: ").arg(k) + QString::fromLatin1(kCommandHeading));
        commandEdits_.append(command);

        // Every keystroke goes straight into the data: the main window uses it at once. It
        // also makes an earlier "Saved." untrue.
        connect(caption, &QLineEdit::textEdited, this, [this, k](const QString &text) {
            buttons_.caption(k) = text;
            clearSaved();
        });
        connect(command, &QLineEdit::textEdited, this, [this, k](const QString &text) {
            buttons_.command(k) = text;
            clearSaved();
        });
    }
    grid->setColumnStretch(2, 1);
    outer->addLayout(grid);

    auto *row = new QHBoxLayout;
    auto *save = new QPushButton(QString::fromLatin1(kSaveCaption), this);
    save->setObjectName(QStringLiteral("Command1"));
    auto *hideButton = new QPushButton(QString::fromLatin1(kHideCaption), this);
    hideButton->setObjectName(QStringLiteral("Command2"));
    row->addStretch();
    row->addWidget(save);
    row->addWidget(hideButton);
    outer->addLayout(row);
    connect(save, &QPushButton::clicked, this, [this] { SaveData(); });
    connect(hideButton, &QPushButton::clicked, this, &QWidget::hide);

    statusLine_ = new QLabel(this);
    statusLine_->setObjectName(QStringLiteral("StatusLine"));
    statusLine_->setWordWrap(true);
    outer->addWidget(statusLine_);

    refreshFields();
    status_.attach(statusLine_);
}

void UserButtonEditor::setVisible(bool visible)
{
    if (visible)
        ensureBuilt();
    QWidget::setVisible(visible);
}

SaveResult UserButtonEditor::SaveData()
{
    const SaveResult result = buttons_.SaveData(store_);
    showStatus(result ? QString::fromLatin1(kSavedText) : result.error, !result);
    return result;
}

void UserButtonEditor::showStatus(const QString &text, bool failure)
{
    status_.show(text, failure);
}

void UserButtonEditor::clearStatus()
{
    status_.clear(); // the colour stays as it was
}

void UserButtonEditor::clearSaved()
{
    if (status_.text() == QLatin1String(kSavedText))
        clearStatus();
}

void UserButtonEditor::reload()
{
    buttons_.load(store_);
    refreshFields();
    clearStatus();
}

void UserButtonEditor::Timer1_Timer()
{
    // This window holds no client handle, so there is no call time-out to set here; the
    // main window's handle carries its own.
    emit captionsRefreshed(buttons_.captions());
}

void UserButtonEditor::closeEvent(QCloseEvent *event)
{
    // Closing is hiding plus forgetting unsaved edits; the window and its timer live on.
    event->ignore();
    hide();
    reload();
}

void UserButtonEditor::refreshFields()
{
    // setText() raises no textEdited, so this never feeds back into the data. A stored
    // caption longer than the typing limit shows cut in its field but stays whole in the
    // data until the operator edits that field.
    if (!statusLine_)
        return;
    for (int k = 1; k <= UserButtons::kButtons; ++k) {
        captionEdits_.at(k - 1)->setText(buttons_.caption(k));
        commandEdits_.at(k - 1)->setText(buttons_.command(k));
    }
}

} // namespace tavrin
