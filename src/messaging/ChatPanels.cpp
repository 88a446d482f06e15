#include "messaging/ChatPanels.h"

#include "messaging/Emoticons.h"
#include "settings/OneLineValidator.h"
#include "ui/FocusFrame.h"
#include "ui/ReadableLog.h"
#include "ui/TabOrder.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIconEngine>
#include <QPainter>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace tavrin::messaging {

using namespace chatui;

namespace {

constexpr int kPicturesPerRow = 18;
constexpr int kPictureButton = kEmoticonSize + 2;
constexpr int kRowHeight = 21;
constexpr int kControlPoints = 8;
constexpr int kFilterPanelWidth = 116;

template <class W>
W *named(W *w, const char *name)
{
    w->setObjectName(QLatin1String(name));
    return w;
}

QPushButton *button(const char *name, const char *caption, QWidget *parent)
{
    return named(new QPushButton(QString::fromLatin1(caption), parent), name);
}

QCheckBox *check(const char *name, const char *caption, QWidget *parent)
{
    return named(new QCheckBox(QString::fromLatin1(caption), parent), name);
}

// As wide as the longest of its captions, one row high.
void compact(QPushButton *b, std::initializer_list<const char *> captions)
{
    int width = 0;
    for (const char *caption : captions)
        width = std::max(width, b->fontMetrics().horizontalAdvance(QString::fromLatin1(caption)));
    b->setFixedSize(width + 14, kRowHeight);
}

QHBoxLayout *row(std::initializer_list<QWidget *> widgets, bool stretch = true)
{
    auto *r = new QHBoxLayout;
    r->setSpacing(3);
    for (QWidget *w : widgets)
        r->addWidget(w);
    if (stretch)
        r->addStretch(1);
    return r;
}

QWidget *buildPrivatePanel(ChatControls &c, QWidget *window)
{
    auto *panel = named(new QWidget(window), "PrivatePanel");
    auto *frame = new QGroupBox(QStringLiteral("Private Message    (Text Only)"), panel);
    c.privateLog = named(new QTextEdit(frame), "Text3");
    makeReadableLog(c.privateLog);
    c.privateLog->setAcceptRichText(false);
    c.privateLog->document()->setUndoRedoEnabled(false);
    // As the chat box: a word longer than the box breaks anywhere.
    c.privateLog->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    c.privateLog->setMinimumHeight(30);
    auto *frameLayout = new QVBoxLayout(frame);
    frameLayout->setContentsMargins(4, 2, 4, 4);
    frameLayout->addWidget(c.privateLog);

    c.destination = named(new QLineEdit(panel), "Text1");
    c.privateText = named(new QLineEdit(panel), "Text2");
    c.privateSend = button("Command2", "Send", panel);
    c.privateClear = button("Command4", "Clear", panel);
    c.redBox = check("Check4", "Send a Red Box Message to Sysop", panel);

    auto *fields = new QGridLayout;
    fields->setVerticalSpacing(2);
    // The labels are what a screen reader calls the fields.
    auto *destination = new QLabel(QStringLiteral("Enter Callsign To Send Message  To."), panel);
    destination->setBuddy(c.destination);
    fields->addWidget(destination, 0, 0);
    fields->addWidget(c.destination, 0, 1);
    auto *message = new QLabel(QStringLiteral("Enter Message"), panel);
    message->setBuddy(c.privateText);
    fields->addWidget(message, 1, 0);
    fields->addWidget(c.privateText, 1, 1);

    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(frame, 1);
    layout->addLayout(fields);
    layout->addLayout(row({c.privateSend, c.privateClear, c.redBox}));
    return panel;
}

QWidget *buildFilterPanel(ChatControls &c, QWidget *window)
{
    auto *panel = named(new QGroupBox(QStringLiteral("Text Filter"), window), "FilterPanel");
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(4, 2, 4, 4);
    layout->setSpacing(2);
    for (int k = 0; k < int(c.filters.size()); ++k) {
        auto *edit = new QLineEdit(panel);
        edit->setObjectName(QStringLiteral("FilterText%1").arg(k + 1));
        edit->setToolTip(QString::fromLatin1(k < 10 ? kFilterTip : kAdminFilterTip));
        nameForScreenReaders(edit, QStringLiteral("Text Filter %1").arg(k + 1));
        // The settings file keeps one line a value: a pasted line break is a blank at once,
        // so the filter works after a restart as it did before.
        edit->setValidator(new OneLineValidator(edit));
        c.filters.at(size_t(k)) = edit;
        layout->addWidget(edit);
    }
    c.caseSensitive = check("Check3", "Case Sensitive", panel);
    c.caseSensitive->setToolTip(QStringLiteral("Case Sensitive letters used"));
    layout->addWidget(c.caseSensitive);
    layout->addSpacing(6);
    auto *label = new QLabel(QStringLiteral("Extra Message Call"), panel);
    label->setWordWrap(true);
    layout->addWidget(label);
    c.extraCall = named(new QLineEdit(panel), "ExtraCall");
    label->setBuddy(c.extraCall);
    c.extraCall->setToolTip(QString::fromLatin1(kExtraCallTip));
    c.extraCall->setValidator(new OneLineValidator(c.extraCall));
    layout->addWidget(c.extraCall);
    layout->addStretch(1);
    return panel;
}

// Draws its emoticon only when the button is first painted: the chat window is hidden at
// start, and drawing every picture then would only delay the main window.
class EmoticonIconEngine final : public QIconEngine {
public:
    explicit EmoticonIconEngine(int element) : element_(element) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode, QIcon::State) override
    {
        painter->drawImage(rect, emoticonPicture(element_, emoticonPixels(*painter, rect)));
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(), size), mode, state);
        return pixmap;
    }
    QIconEngine *clone() const override { return new EmoticonIconEngine(element_); }

private:
    int element_;
};

QWidget *buildPictures(ChatControls &c, QWidget *window)
{
    auto *frame = named(new QGroupBox(QStringLiteral("The Chat Icons"), window), "ChatIcons");
    auto *grid = new QGridLayout(frame);
    grid->setContentsMargins(2, 0, 2, 1);
    grid->setSpacing(0);
    const auto &buttons = emoticonButtons();
    for (size_t k = 0; k < buttons.size(); ++k) {
        auto *b = named(new QToolButton(frame), buttons.at(k).name);
        b->setAutoRaise(true);
        // Tab reaches a picture and Space inserts it, as a click does; a click leaves the keys
        // in the send box.
        b->setFocusPolicy(Qt::TabFocus);
        const QString code = QString::fromLatin1(buttons.at(k).inserted).trimmed();
        b->setToolTip(code);
        nameForScreenReaders(b, code);
        b->setIcon(QIcon(new EmoticonIconEngine(buttons.at(k).element)));
        b->setIconSize(QSize(kEmoticonSize, kEmoticonSize));
        b->setFixedSize(kPictureButton, kPictureButton);
        c.pictures.at(k) = b;
        grid->addWidget(b, int(k) / kPicturesPerRow, int(k) % kPicturesPerRow);
    }
    frame->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return frame;
}

} // namespace

void StatusLine::setReport(const QString &report)
{
    report_ = report;
    fit();
}

void StatusLine::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    fit();
}

void StatusLine::showEvent(QShowEvent *event)
{
    QLabel::showEvent(event);
    fit();
}

void StatusLine::fit()
{
    // Unseen, the line has no width of its own yet: it is cut when it shows.
    if (!isVisible()) {
        setText(report_);
        setToolTip(QString());
        return;
    }
    const QString shown = fontMetrics().elidedText(report_, Qt::ElideRight, contentsRect().width());
    setText(shown);
    setToolTip(shown == report_ ? QString() : report_);
}

int twipsToPx(int twips, int dpi) { return int(std::lround(double(twips) * dpi / 1440.0)); }

ChatControls buildChatControls(QWidget *window)
{
    ChatControls c;
    // The compact control font of the classic desktop; the chat box sets its own size.
    QFont controls = window->font();
    controls.setPointSize(kControlPoints);
    window->setFont(controls);
    // A plain-text edit lays out only the lines it shows; ChatBox teaches it the pictures.
    c.chatBox = named(new QPlainTextEdit(window), "RTB");
    makeReadableLog(c.chatBox);
    c.chatBox->setUndoRedoEnabled(false);
    nameForScreenReaders(c.chatBox, QStringLiteral("Chat"));
    // A word longer than the box breaks anywhere: finding word breaks in a 64 KiB word costs
    // the layout quadratic time.
    c.chatBox->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    c.sendBox = named(new QLineEdit(window), "TextTX");
    c.sendBox->setToolTip(QString::fromLatin1(kSendBoxTip));
    nameForScreenReaders(c.sendBox, c.sendBox->toolTip());
    c.send = button("Send", "Send", window);
    c.stampOutgoing = check("Check1", "Send Text With Time Stamp", window);
    c.stampIncoming = check("Check2", "Time Stamp Incoming", window);
    c.clearChat = button("ClearRX", "Clear", window);
    c.save = button("SaveIt", "Save", window);
    c.hide = button("Exit", "Hide", window);
    c.privateToggle = button("Command3", kShowPrivate, window);
    c.useChat = named(new QRadioButton(QStringLiteral("Use Chat"), window), "Option1");
    c.stopChat = named(new QRadioButton(QStringLiteral("Stop Chat"), window), "Option2");
    c.showOnLine = check("Check5", "Show Chat Box When Message Received", window);
    c.textSize = button("Command23", kTextSizeLarge, window);
    c.smallText = check("Check66", "", window);
    c.smallText->setVisible(false);
    c.sysopBox = button("Command5", "Sysop Messages", window);
    c.extraToggle = button("Command39", kShowExtra, window);
    // One line across the whole window, under everything: the window's size is fixed, and a
    // report must neither push it larger nor wrap into a narrow column.
    c.status = named(new StatusLine(window), "StatusLine");
    c.status->setTextFormat(Qt::PlainText);
    c.status->setWordWrap(false);
    c.status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    c.status->setFixedHeight(c.status->fontMetrics().height());

    c.privatePanel = buildPrivatePanel(c, window);
    c.privatePanel->setVisible(false);
    c.filterPanel = buildFilterPanel(c, window);
    c.filterPanel->setVisible(false);
    QWidget *pictures = buildPictures(c, window);

    // The window keeps the size it is given: buttons only as wide as their longest caption,
    // rows of one height.
    compact(c.send, {"Send"});
    compact(c.clearChat, {"Clear"});
    compact(c.save, {"Save"});
    compact(c.hide, {"Hide"});
    compact(c.privateToggle, {kShowPrivate, kHidePrivate});
    compact(c.textSize, {kTextSizeLarge, kTextSizeSmall});
    compact(c.sysopBox, {"Sysop Messages"});
    compact(c.extraToggle, {kShowExtra, kHideExtra});
    compact(c.privateSend, {"Send"});
    compact(c.privateClear, {"Clear"});
    for (QWidget *w : std::initializer_list<QWidget *>{c.sendBox, c.stampOutgoing, c.stampIncoming, c.useChat,
                                                       c.stopChat, c.showOnLine, c.destination, c.privateText,
                                                       c.redBox})
        w->setFixedHeight(kRowHeight);

    auto *left = new QVBoxLayout;
    left->setSpacing(1);
    // The chat box takes what a window larger than its own size has to spare (its largest size
    // says how much); the private panel what is left at the window's own size.
    left->addWidget(c.chatBox, 1);
    left->addWidget(c.privatePanel, 1);
    left->addLayout(row({c.sendBox, c.send}, false));
    left->addLayout(row({c.stampOutgoing, c.stampIncoming, c.clearChat, c.save, c.hide}));
    left->addLayout(row({c.privateToggle, c.useChat, c.stopChat, c.textSize}));
    left->addLayout(row({c.showOnLine, c.sysopBox, c.extraToggle}));
    left->addWidget(pictures);
    left->addWidget(c.status);
    left->addStretch(0);

    // Tab goes through the controls as they stand, top to bottom: the private panel sits above
    // the send line, though it is made after it; the pictures close the left side, and the
    // filter panel on the right comes last.
    QList<QWidget *> chain{c.chatBox, c.privateLog, c.destination, c.privateText, c.privateSend, c.privateClear,
                           c.redBox, c.sendBox, c.send, c.stampOutgoing, c.stampIncoming, c.clearChat, c.save,
                           c.hide, c.privateToggle, c.useChat, c.stopChat, c.textSize, c.showOnLine, c.sysopBox,
                           c.extraToggle};
    for (QWidget *picture : c.pictures)
        chain << picture;
    for (QWidget *filter : c.filters)
        chain << filter;
    chain << c.caseSensitive << c.extraCall;
    setTabChain(chain);

    c.filterPanel->setFixedWidth(kFilterPanelWidth);
    auto *root = new QHBoxLayout(window);
    root->setContentsMargins(4, 3, 4, 2);
    root->setSpacing(4);
    root->addLayout(left, 1);
    root->addWidget(c.filterPanel);
    return c;
}

} // namespace tavrin::messaging
