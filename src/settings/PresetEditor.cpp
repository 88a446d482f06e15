#include "settings/PresetEditor.h"

#include "common/WindowNames.h"
#include "settings/OneLineValidator.h"
#include "settings/PresetBandBlock.h"
#include "ui/FocusFrame.h"
#include "ui/ReadableColors.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <array>

namespace tavrin {

namespace {

constexpr char kTitle[] = "Frequency Setup %1";
constexpr char kNodeLabel[] = "Configuration for Node";
constexpr char kHideCaption[] = "Hide";
constexpr char kSaveCaption[] = "Save";
constexpr char kOtherSetCaption[] = "Freq Setup %1";
constexpr char kSavedText[] = "Saved.";
constexpr int kBlockColumns = 3;

// Command3/4/5 open the other sets: 2, 3, 4 in that order, with this set's own place
// taken by set 1.
std::array<int, 3> otherSets(int own)
{
    std::array<int, 3> targets{2, 3, 4};
    for (int &t : targets) {
        if (t == own)
            t = 1;
    }
    return targets;
}

} // namespace

PresetEditor::PresetEditor(PresetSet &set, ProfileStore &store, Fields fields, QWidget *parent)
    : QWidget(parent), set_(set), store_(store)
{
    const int n = set_.number();
    setObjectName(QString::fromLatin1(windows::kPresetEditorPrefix) + QString::number(n));
    setWindowTitle(QString::fromLatin1(kTitle).arg(n));
    if (fields == Fields::Now)
        ensureBuilt();
}

void PresetEditor::ensureBuilt()
{
    if (statusLine_)
        return;
    const int n = set_.number();
    const QString title = windowTitle();

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(10, 8, 10, 8);
    outer->setSpacing(6);

    auto *heading = new QLabel(title, this);
    heading->setObjectName(QStringLiteral("Label1"));
    QFont headingFont = heading->font();
    headingFont.setBold(true);
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.4);
    heading->setFont(headingFont);
    heading->setAlignment(Qt::AlignHCenter);
    outer->addWidget(heading);

    auto *nodeRow = new QHBoxLayout;
    nodeRow->addStretch();
    auto *nodeLabel = new QLabel(QString::fromLatin1(kNodeLabel), this);
    nodeRow->addWidget(nodeLabel);
    nodeCallEdit_ = new QLineEdit(this);
    nodeCallEdit_->setObjectName(QStringLiteral("NodeCall"));
    nodeLabel->setBuddy(nodeCallEdit_); // what a screen reader calls the field
    nodeCallEdit_->setMinimumWidth(140);
    // One line, as the node button shows it and the settings file keeps it.
    nodeCallEdit_->setValidator(new OneLineValidator(nodeCallEdit_));
    nodeRow->addWidget(nodeCallEdit_);
    nodeRow->addStretch();
    outer->addLayout(nodeRow);

    // Band blocks in a 3 x 2 grid keep the window within a 1280 x 1024 screen.
    auto *blocks = new QGridLayout;
    blocks->setSpacing(6);
    std::array<QLineEdit *, PresetSet::kBands> labelEdits{};
    for (int b = 1; b <= PresetSet::kBands; ++b) {
        auto *block = new PresetBandBlock(b, this);
        blocks->addWidget(block, (b - 1) / kBlockColumns, (b - 1) % kBlockColumns);
        textEdits_.append(block->buttonEdits());
        textaEdits_.append(block->commandEdits());
        labelEdits[size_t(b - 1)] = block->labelEdit();
    }
    for (QLineEdit *edit : labelEdits)
        textEdits_.append(edit); // Text61 ... Text66 follow Text1 ... Text60
    outer->addLayout(blocks);

    auto *buttons = new QHBoxLayout;
    const auto addButton = [&](int number, const QString &caption) {
        auto *button = new QPushButton(caption, this);
        button->setObjectName(QStringLiteral("Command%1").arg(number));
        buttons->addWidget(button);
        return button;
    };
    connect(addButton(1, QString::fromLatin1(kHideCaption)), &QPushButton::clicked, this, &QWidget::hide);
    connect(addButton(2, QString::fromLatin1(kSaveCaption)), &QPushButton::clicked, this, [this] { SaveData(); });
    buttons->addStretch();
    const std::array<int, 3> targets = otherSets(n);
    for (size_t i = 0; i < targets.size(); ++i) {
        const int target = targets[i];
        auto *button = addButton(3 + int(i), QString::fromLatin1(kOtherSetCaption).arg(target));
        connect(button, &QPushButton::clicked, this, [this, target] { emit showEditorRequested(target); });
    }
    outer->addLayout(buttons);

    statusLine_ = new QLabel(this);
    statusLine_->setObjectName(QStringLiteral("StatusLine"));
    statusLine_->setWordWrap(true);
    outer->addWidget(statusLine_);

    // Every keystroke goes straight into the set: the main window uses it at once. It also
    // makes an earlier "Saved." untrue.
    connect(nodeCallEdit_, &QLineEdit::textEdited, this, [this](const QString &text) {
        set_.NodeCall = text;
        edited();
    });
    for (int i = 1; i <= textEdits_.size(); ++i) {
        connect(textEdits_.at(i - 1), &QLineEdit::textEdited, this, [this, i](const QString &text) {
            set_.Text(i) = text;
            edited();
        });
    }
    for (int i = 1; i <= textaEdits_.size(); ++i) {
        connect(textaEdits_.at(i - 1), &QLineEdit::textEdited, this, [this, i](const QString &text) {
            set_.Texta(i) = text;
            edited();
        });
    }

    // Reading the file is the owner's call (reload()), made when the program loads its
    // windows; until then the fields show the set as it is.
    refreshFields();
}

SaveResult PresetEditor::SaveData()
{
    const SaveResult result = set_.SaveData(store_);
    if (!statusLine_)
        return result;
    ui::showFailureColour(statusLine_, !result);
    statusLine_->setText(result ? QString::fromLatin1(kSavedText) : result.error);
    return result;
}

void PresetEditor::edited()
{
    if (statusLine_->text() == QLatin1String(kSavedText))
        statusLine_->clear();
    emit presetsChanged();
}

void PresetEditor::reload()
{
    set_.load(store_);
    if (statusLine_) {
        refreshFields();
        statusLine_->clear();
    }
    emit presetsChanged();
}

void PresetEditor::closeEvent(QCloseEvent *event)
{
    // Closing is hiding plus forgetting unsaved edits; the window itself lives on.
    event->ignore();
    hide();
    reload();
}

void PresetEditor::setVisible(bool visible)
{
    if (visible)
        ensureBuilt();
    QWidget::setVisible(visible);
}

void PresetEditor::showEvent(QShowEvent *event)
{
    // The set may have changed while hidden (a reload, another writer of the fields).
    refreshFields();
    QWidget::showEvent(event);
}

void PresetEditor::refreshFields()
{
    // setText() does not raise textEdited, so this never feeds back into the set.
    nodeCallEdit_->setText(set_.NodeCall);
    for (int i = 1; i <= textEdits_.size(); ++i)
        textEdits_.at(i - 1)->setText(set_.Text(i));
    for (int i = 1; i <= textaEdits_.size(); ++i)
        textaEdits_.at(i - 1)->setText(set_.Texta(i));
}

} // namespace tavrin
