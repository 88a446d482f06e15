// The chat window built inside the whole program: loading, the incoming-line path with its
// copies into the main window, sending, the panels, the text size and the settings file.
#include "test_chat_kit.h"

#include "messaging/ChatPanels.h"
#include "support/WindowShape.h"

#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTextCursor>
#include <QTextFragment>

using namespace tavrin;
using namespace tavrin::test;

namespace {

// Format of the first fragment holding `text` in the document.
QTextCharFormat formatOf(const QTextDocument *doc, const QString &text)
{
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            if (it.fragment().text().contains(text))
                return it.fragment().charFormat();
        }
    }
    return {};
}

int px(QWidget *w, int twips, bool vertical)
{
    return messaging::twipsToPx(twips, vertical ? w->logicalDpiY() : w->logicalDpiX());
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

// What the operator sees in every named control, and the chat box's document whole (text,
// colours, weights, pictures, fonts).
QStringList controlState(QWidget &window)
{
    QStringList state;
    for (QWidget *w : window.findChildren<QWidget *>()) {
        if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")))
            continue;
        QString line = w->objectName() + (w->isVisibleTo(&window) ? QStringLiteral(" shown") : QStringLiteral(" hidden"));
        if (auto *b = qobject_cast<QAbstractButton *>(w))
            line += QLatin1Char(' ') + b->text() + (b->isChecked() ? QStringLiteral(" [x]") : QStringLiteral(" [ ]"));
        else if (auto *e = qobject_cast<QLineEdit *>(w))
            line += QLatin1Char(' ') + e->text();
        else if (auto *l = qobject_cast<QLabel *>(w))
            line += QLatin1Char(' ') + l->text();
        else if (auto *t = qobject_cast<QTextEdit *>(w))
            line += QLatin1Char(' ') + t->toPlainText();
        else if (auto *p = qobject_cast<QPlainTextEdit *>(w))
            line += QStringLiteral(" %1pt %2 ").arg(p->font().pointSize()).arg(p->height()) + p->document()->toHtml();
        state << line;
    }
    return state;
}

} // namespace

class ChatWindowTest : public QObject {
    Q_OBJECT
private slots:
    void loadsHiddenWithDefaults()
    {
        ChatRig r;
        QVERIFY(r.started);
        auto *chat = r.chat();
        QVERIFY(chat);
        QVERIFY(!chat->isVisible());
        QCOMPARE(chat->windowTitle(), QStringLiteral("Tavrin    XX1TST-L   v1.2.2"));
        QCOMPARE(chat->ownSenderTag(), QStringLiteral("XX1TST-L> "));
        QCOMPARE(chat->privateMarker(), QStringLiteral(":XX1TST-L~"));
        QVERIFY(!r.in<QCheckBox>(QStringLiteral("Check4"))->isChecked());
        QVERIFY(r.in<QCheckBox>(QStringLiteral("Check3"))->isChecked());
        QVERIFY(!r.in<QCheckBox>(QStringLiteral("Check5"))->isChecked());
        QVERIFY(r.in<QRadioButton>(QStringLiteral("Option1"))->isChecked());
        QVERIFY(r.in<QCheckBox>(QStringLiteral("Check66"))->isChecked());
        QCOMPARE(r.in<QPushButton>(QStringLiteral("Command23"))->text(), QStringLiteral("Text Size Large"));
        QCOMPARE(r.chatBox()->font().pointSize(), 10);
        QCOMPARE(r.in<QPushButton>(QStringLiteral("Command3"))->text(), QStringLiteral("Show Private Message"));
        QCOMPARE(r.in<QLineEdit>(QStringLiteral("TextTX"))->toolTip(), QStringLiteral("Entre your text here"));
        QCOMPARE(r.in<QLineEdit>(QStringLiteral("FilterText12"))->toolTip(),
                 QStringLiteral("Disconnectes Node with Incoming Text Word (Admin Mode)"));
        QCOMPARE(chat->size(), QSize(px(chat, 6990, false), px(chat, 8400, true)));
        QCOMPARE(r.chatBox()->height(), px(chat, 5775, true));
        QVERIFY(r.chatBox()->isReadOnly());
        // No settings file is written by loading.
        QVERIFY(!QFile::exists(r.dir.filePath(QStringLiteral("kelmmessagebox.ini"))));
    }

    void incomingLineReachesEveryLog()
    {
        ChatRig r;
        r.rig.backend.raiseChat(QStringLiteral("XX2AB-L>hello :) there"));
        // Chat box: tag, ": ", text with the picture in place of the code.
        QCOMPARE(r.chatText(), QString::fromUtf16(u"XX2AB-L>: hello \uFFFC there\n"));
        QCOMPARE(picturesIn(r.chatBox()->document()), QStringList{QStringLiteral("emoticon:0")});
        const QTextCharFormat tag = formatOf(r.chatBox()->document(), QStringLiteral("XX2AB-L>"));
        QCOMPARE(tag.fontWeight(), int(QFont::Bold));
        QCOMPARE(tag.foreground().color(), QColor(0, 0, 255));
        const QTextCharFormat text = formatOf(r.chatBox()->document(), QStringLiteral("hello"));
        QVERIFY(text.fontWeight() != int(QFont::Bold));
        QCOMPARE(text.foreground().color(), QColor(Qt::black));
        // Main window: the log gets the line, the last-line box shows it and Timer1 hides it later.
        QCOMPARE(r.mainLog(), QStringLiteral("XX2AB-L>hello :) there\n"));
        QCOMPARE(r.lastLine()->toPlainText(), QStringLiteral("XX2AB-L>hello :) there"));
        QVERIFY(r.lastLine()->isVisibleTo(r.rig.window()));
        QVERIFY(r.mainTimer1()->isActive());
        QCOMPARE(r.inMain<QPlainTextEdit>(QStringLiteral("RTB2"))->textCursor().position(),
                 r.inMain<QPlainTextEdit>(QStringLiteral("RTB2"))->document()->characterCount() - 1);
        // Hidden window stays hidden without Check5; with it, a line shows the window.
        QVERIFY(!r.chat()->isVisible());
        r.in<QCheckBox>(QStringLiteral("Check5"))->setChecked(true);
        r.rig.backend.raiseChat(QStringLiteral("XX2AB-L>again"));
        QVERIFY(r.chat()->isVisible());
        QVERIFY(r.lastLine()->toPlainText().endsWith(QLatin1String("again")));
    }

    void incomingStampsAndLineBreaks()
    {
        ChatRig r;
        r.in<QCheckBox>(QStringLiteral("Check2"))->setChecked(true);
        r.rig.backend.raiseChat(QStringLiteral("XX2AB-L>one\rtwo"));
        // CR becomes CR LF: one line break, no stray characters.
        QCOMPARE(r.chatText(), QStringLiteral("XX2AB-L>: (09:05) one\ntwo\n"));
        QCOMPARE(r.mainLog(), QStringLiteral("XX2AB-L>(09:05) one\ntwo\n"));
        // The one-line box shows one line: breaks become blanks.
        QCOMPARE(r.lastLine()->toPlainText(), QStringLiteral("XX2AB-L>one two"));
        // No ">": empty tag, the whole line is the message.
        r.in<QCheckBox>(QStringLiteral("Check2"))->setChecked(false);
        r.chatBox()->clear();
        r.rig.backend.raiseChat(QStringLiteral("no tag"));
        QCOMPARE(r.chatText(), QStringLiteral(": no tag\n"));
    }

    void versionQueryFiltersAndStopChat()
    {
        ChatRig r;
        r.rig.backend.raiseChat(QStringLiteral("XX2AB-L>/chat/"));
        QVERIFY(r.sent().contains(QStringLiteral("Chat-QX v1.2.2")));
        QVERIFY(r.chatText().contains(QLatin1String("/chat/")));

        // Filters drop a line everywhere, but the version answer still goes out.
        r.type(QStringLiteral("FilterText3"), QStringLiteral("qrm"));
        r.in<QCheckBox>(QStringLiteral("Check3"))->setChecked(false);
        r.rig.backend.clearCalls();
        const QString before = r.chatText();
        const QString logBefore = r.mainLog();
        r.rig.backend.raiseChat(QStringLiteral("XX2AB-L>QRM here /chat/"));
        QCOMPARE(r.chatText(), before);
        QCOMPARE(r.mainLog(), logBefore);
        QCOMPARE(r.sent().count(QStringLiteral("Chat-QX v1.2.2")), 1);
        // Case-sensitive: only the exact case drops.
        r.in<QCheckBox>(QStringLiteral("Check3"))->setChecked(true);
        r.rig.backend.raiseChat(QStringLiteral("XX2AB-L>QRM here"));
        QVERIFY(r.chatText().endsWith(QLatin1String("QRM here\n")));
        // A built-in word in any case drops; at the first character it does not.
        r.rig.backend.raiseChat(QStringLiteral("XX2AB-L>oh SHIT"));
        QVERIFY(!r.chatText().contains(QLatin1String("SHIT")));
        r.rig.backend.raiseChat(QStringLiteral("shag is a bird"));
        QVERIFY(r.chatText().contains(QLatin1String("shag is a bird")));

        // Stop Chat: nothing reaches any chat log, the version answer still goes out.
        r.click(QStringLiteral("Option2"));
        r.rig.backend.clearCalls();
        const QString stopped = r.chatText();
        r.rig.backend.raiseChat(QStringLiteral("XX2AB-L>quiet /chat/"));
        QCOMPARE(r.chatText(), stopped);
        QVERIFY(!r.mainLog().contains(QLatin1String("quiet")));
        QVERIFY(r.sent().contains(QStringLiteral("Chat-QX v1.2.2")));
    }

    void emoticonsOnlyInTheNewLine()
    {
        ChatRig r;
        // A line written into the box as plain text (as the Remote Pad does) keeps its codes.
        QTextCursor c(r.chatBox()->document());
        c.movePosition(QTextCursor::End);
        c.insertText(QStringLiteral("XX1TST-L>:old :) line\n"));
        r.rig.backend.raiseChat(QStringLiteral("XX2AB-L>:>) and :-) and :Beer"));
        QCOMPARE(picturesIn(r.chatBox()->document()),
                 (QStringList{QStringLiteral("emoticon:7"), QStringLiteral("emoticon:8"), QStringLiteral("emoticon:24")}));
        QVERIFY(r.chatText().startsWith(QLatin1String("XX1TST-L>:old :) line\n")));
        // The picture lives in the document as a resource.
        QVERIFY(!r.chatBox()->document()->resource(QTextDocument::ImageResource, QUrl(QStringLiteral("emoticon:7"))).isNull());
        // Clearing drops the resources; the next picture is added again.
        r.click(QStringLiteral("ClearRX"));
        QVERIFY(r.chatText().isEmpty());
        r.rig.backend.raiseChat(QStringLiteral("XX2AB-L>:>)"));
        QVERIFY(!r.chatBox()->document()->resource(QTextDocument::ImageResource, QUrl(QStringLiteral("emoticon:7"))).isNull());
    }

    void pictureButtonsInsertTheirCodes()
    {
        ChatRig r;
        auto *box = r.in<QLineEdit>(QStringLiteral("TextTX"));
        box->setText(QStringLiteral("hi"));
        r.click(QStringLiteral("Image14"));
        QCOMPARE(box->text(), QStringLiteral("hi :r)"));
        r.click(QStringLiteral("Image35"));
        r.click(QStringLiteral("Image22"));
        QCOMPARE(box->text(), QStringLiteral("hi :r) :drink  :gr) "));
        QCOMPARE(box->cursorPosition(), int(box->text().size()));
        for (int k = 1; k <= 35; ++k)
            QVERIFY(r.in<QToolButton>(QStringLiteral("Image%1").arg(k)));
    }

    void sendingOwnLines()
    {
        ChatRig r;
        r.type(QStringLiteral("TextTX"), QStringLiteral("good evening :)"));
        r.click(QStringLiteral("Send"));
        QCOMPARE(r.sent().last(), QStringLiteral("good evening :)"));
        QCOMPARE(r.chatText(), QString::fromUtf16(u"XX1TST-L> : good evening \uFFFC\n"));
        const QTextCharFormat tag = formatOf(r.chatBox()->document(), QStringLiteral("XX1TST-L>"));
        QCOMPARE(tag.foreground().color(), QColor(255, 0, 0));
        QVERIFY(r.in<QLineEdit>(QStringLiteral("TextTX"))->text().isEmpty());
        // Own lines are not copied into the main window's log.
        QVERIFY(r.mainLog().isEmpty());

        // Empty: an empty line goes out, nothing is shown.
        const QString before = r.chatText();
        r.enter(QStringLiteral("TextTX"));
        QCOMPARE(r.sent().last(), QString());
        QCOMPARE(r.chatText(), before);

        // Stamped: the wire and the box carry the stamp; an empty box sends the bare prefix.
        r.in<QCheckBox>(QStringLiteral("Check1"))->setChecked(true);
        r.type(QStringLiteral("TextTX"), QStringLiteral("FR?"));
        r.enter(QStringLiteral("TextTX"));
        QCOMPARE(r.sent().last(), QStringLiteral("(09:05) >FR?"));
        QVERIFY(r.chatText().endsWith(QLatin1String("XX1TST-L> : (09:05) >FR?\n")));
        r.enter(QStringLiteral("TextTX"));
        QCOMPARE(r.sent().last(), QStringLiteral("(09:05) >"));
        QVERIFY(r.chatText().endsWith(QLatin1String("XX1TST-L> : (09:05) >\n")));
        QVERIFY(r.in<QLabel>(QStringLiteral("StatusLine"))->text().isEmpty());
    }

    void failedSendKeepsTheText()
    {
        ChatRig r;
        r.rig.backend.failing.insert(QStringLiteral("SendChatText"));
        r.type(QStringLiteral("TextTX"), QStringLiteral("important"));
        r.click(QStringLiteral("Send"));
        QCOMPARE(r.in<QLineEdit>(QStringLiteral("TextTX"))->text(), QStringLiteral("important"));
        QVERIFY(r.chatText().isEmpty());
        QVERIFY(!r.chat()->lastSendSucceeded());
        QVERIFY(r.in<QLabel>(QStringLiteral("StatusLine"))->text().startsWith(QLatin1String("Not sent")));
        // The next good send clears the status line.
        r.rig.backend.failing.clear();
        r.click(QStringLiteral("Send"));
        QCOMPARE(r.sent().last(), QStringLiteral("important"));
        QVERIFY(r.in<QLabel>(QStringLiteral("StatusLine"))->text().isEmpty());
        QVERIFY(r.chatText().contains(QLatin1String("important")));
    }

    // Typing stays where the operator typed: after a click on Send the next line goes into the
    // send line, and a look at another window does not move a half-typed private message there.
    void focusFollowsTheTyping()
    {
        ChatRig r;
        auto *chat = r.chat();
        // Messages for us show their windows without taking the keys from where the operator
        // types (the test platform makes every window it shows active: the attribute is what
        // the desktop goes by).
        QVERIFY(chat->testAttribute(Qt::WA_ShowWithoutActivating));
        QVERIFY(r.rig.program().registry().window(QStringLiteral("Form126"))->testAttribute(Qt::WA_ShowWithoutActivating));

        chat->show();
        chat->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(chat));
        auto *sendBox = r.in<QLineEdit>(QStringLiteral("TextTX"));
        QCOMPARE(QApplication::focusWidget(), sendBox);
        r.type(QStringLiteral("TextTX"), QStringLiteral("hello"));
        QTest::mouseClick(r.in<QPushButton>(QStringLiteral("Send")), Qt::LeftButton);
        QCOMPARE(r.sent().last(), QStringLiteral("hello"));
        QCOMPARE(QApplication::focusWidget(), sendBox);
        QTest::mouseClick(r.in<QPushButton>(QStringLiteral("Command23")), Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), sendBox);

        // Tab goes through the controls as they stand: down the window, along each row.
        r.click(QStringLiteral("Command3"));
        QWidget *previous = nullptr;
        for (QWidget *w = chat->nextInFocusChain(); w != chat; w = w->nextInFocusChain()) {
            if (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisible())
                continue;
            if (previous) {
                const QPoint was = previous->mapTo(chat, previous->rect().center());
                const QPoint is = w->mapTo(chat, w->rect().center());
                QVERIFY2(is.y() > was.y() + 2 || (std::abs(is.y() - was.y()) <= 2 && is.x() > was.x()),
                         qPrintable(previous->objectName() + QStringLiteral(" before ") + w->objectName()));
            }
            previous = w;
        }
        // A picture is a key like the others: Space inserts its code, and the keys go on in the
        // send line. The logs take a caret to read and select with.
        auto *smile = r.in<QToolButton>(QStringLiteral("Image1"));
        smile->setFocus();
        QTest::keyClick(smile, Qt::Key_Space);
        QCOMPARE(sendBox->text(), QStringLiteral(" :) "));
        QCOMPARE(QApplication::focusWidget(), sendBox);
        auto *chatBox = r.in<QPlainTextEdit>(QStringLiteral("RTB"));
        chatBox->setPlainText(QStringLiteral("XX9XYZ>first\nXX9XYZ>second"));
        chatBox->setFocus();
        QTest::keyClick(chatBox, Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(chatBox, Qt::Key_Down);
        QTest::keyClick(chatBox, Qt::Key_End, Qt::ShiftModifier);
        QCOMPARE(chatBox->textCursor().selectedText(), QStringLiteral("XX9XYZ>second"));
        QVERIFY(r.in<QTextEdit>(QStringLiteral("Text3"))->textInteractionFlags() & Qt::TextSelectableByKeyboard);

        auto *privateText = r.in<QLineEdit>(QStringLiteral("Text2"));
        privateText->setFocus();
        r.rig.window()->show();
        r.rig.window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(r.rig.window()));
        chat->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(chat));
        QCOMPARE(QApplication::focusWidget(), privateText);
    }

    void panelsAndSizes()
    {
        ChatRig r;
        auto *chat = r.chat();
        r.click(QStringLiteral("Command3"));
        QCOMPARE(r.in<QPushButton>(QStringLiteral("Command3"))->text(), QStringLiteral("Hide Private Message"));
        QVERIFY(!r.in<QPushButton>(QStringLiteral("ClearRX"))->isVisibleTo(chat));
        QVERIFY(r.in<QTextEdit>(QStringLiteral("Text3"))->isVisibleTo(chat));
        QCOMPARE(r.chatBox()->height(), px(chat, 2295, true));
        r.click(QStringLiteral("Command3"));
        QCOMPARE(r.in<QPushButton>(QStringLiteral("Command3"))->text(), QStringLiteral("Show Private Message"));
        QVERIFY(r.in<QPushButton>(QStringLiteral("ClearRX"))->isVisibleTo(chat));
        QCOMPARE(r.chatBox()->height(), px(chat, 5775, true));

        r.click(QStringLiteral("Command39"));
        QCOMPARE(r.in<QPushButton>(QStringLiteral("Command39"))->text(), QStringLiteral("Hide Extra"));
        QCOMPARE(chat->size(), QSize(px(chat, 8820, false), px(chat, 9700, true)));
        QVERIFY(r.in<QLineEdit>(QStringLiteral("FilterText1"))->isVisibleTo(chat));
        r.click(QStringLiteral("Command39"));
        QCOMPARE(r.in<QPushButton>(QStringLiteral("Command39"))->text(), QStringLiteral("Show Extra"));
        QCOMPARE(chat->size(), QSize(px(chat, 6990, false), px(chat, 8400, true)));

        // A window made taller (maximized) gives the chat the room; back at its own size, the
        // box has its set height again.
        chat->show();
        chat->resize(chat->width(), chat->height() + 200);
        QCoreApplication::processEvents();
        QCOMPARE(r.chatBox()->height(), px(chat, 5775, true) + 200);
        chat->resize(px(chat, 6990, false), px(chat, 8400, true));
        QCoreApplication::processEvents();
        QCOMPARE(r.chatBox()->height(), px(chat, 5775, true));
    }

    void textSizeToggleIsStored()
    {
        ChatRig r;
        r.click(QStringLiteral("Command23"));
        QCOMPARE(r.in<QPushButton>(QStringLiteral("Command23"))->text(), QStringLiteral(" Text Size Small "));
        QCOMPARE(r.chatBox()->font().pointSize(), 14);
        QVERIFY(r.chatBox()->font().bold());
        QVERIFY(!r.in<QCheckBox>(QStringLiteral("Check66"))->isChecked());
        QVERIFY(readFile(r.dir.filePath(QStringLiteral("kelmmessagebox.ini"))).contains(QLatin1String("CHECK66=0")));
        r.click(QStringLiteral("Command23"));
        QCOMPARE(r.in<QPushButton>(QStringLiteral("Command23"))->text(), QStringLiteral("Text Size Large"));
        QCOMPARE(r.chatBox()->font().pointSize(), 10);
        QVERIFY(!r.chatBox()->font().bold());
        QVERIFY(readFile(r.dir.filePath(QStringLiteral("kelmmessagebox.ini"))).contains(QLatin1String("CHECK66=1")));
    }

    void settingsRoundTrip()
    {
        QTemporaryDir dir;
        {
            ChatRig r(dir.path());
            r.type(QStringLiteral("FilterText1"), QStringLiteral("contest"));
            // Pasted over two lines: one line at once, as the file keeps it.
            r.type(QStringLiteral("FilterText2"), QStringLiteral("split\nword"));
            QCOMPARE(r.in<QLineEdit>(QStringLiteral("FilterText2"))->text(), QStringLiteral("split word"));
            r.type(QStringLiteral("FilterText12"), QString(300, QLatin1Char('x')));
            r.type(QStringLiteral("ExtraCall"), QStringLiteral("G0XYZ"));
            r.in<QCheckBox>(QStringLiteral("Check3"))->setChecked(false);
            r.in<QCheckBox>(QStringLiteral("Check5"))->setChecked(true);
            r.click(QStringLiteral("Option2"));
            r.click(QStringLiteral("Command23"));
            r.click(QStringLiteral("SaveIt"));
            // Longer than a setting holds: said, not saved cut; the rest is saved.
            auto *status = r.in<QLabel>(QStringLiteral("StatusLine"));
            QVERIFY2((status->text() + status->toolTip()).contains(QLatin1String("FILTERTEXT12 (300 characters")),
                     qPrintable(status->text()));
            QCOMPARE(r.in<QLineEdit>(QStringLiteral("FilterText12"))->text().size(), 300);
            const QString file = readFile(dir.filePath(QStringLiteral("kelmmessagebox.ini")));
            QVERIFY(file.contains(QLatin1String("OPTION1=False")));
            QVERIFY(file.contains(QLatin1String("OPTION2=True")));
            QVERIFY(file.contains(QLatin1String("EXTRACALL=G0XYZ")));
            // Closed (not hidden): an unsaved edit is dropped, the saved state comes back.
            r.type(QStringLiteral("FilterText1"), QStringLiteral("unsaved"));
            r.chat()->close();
            QCOMPARE(r.in<QLineEdit>(QStringLiteral("FilterText1"))->text(), QStringLiteral("contest"));
        }
        ChatRig again(dir.path());
        QVERIFY(again.started);
        QCOMPARE(again.in<QLineEdit>(QStringLiteral("FilterText1"))->text(), QStringLiteral("contest"));
        QCOMPARE(again.in<QLineEdit>(QStringLiteral("FilterText2"))->text(), QStringLiteral("split word"));
        QVERIFY(again.in<QLineEdit>(QStringLiteral("FilterText12"))->text().isEmpty());
        QCOMPARE(again.in<QLineEdit>(QStringLiteral("ExtraCall"))->text(), QStringLiteral("G0XYZ"));
        QVERIFY(!again.in<QCheckBox>(QStringLiteral("Check3"))->isChecked());
        QVERIFY(again.in<QCheckBox>(QStringLiteral("Check5"))->isChecked());
        QVERIFY(!again.in<QRadioButton>(QStringLiteral("Option1"))->isChecked());
        QVERIFY(again.in<QRadioButton>(QStringLiteral("Option2"))->isChecked());
        QCOMPARE(again.chatBox()->font().pointSize(), 14);
        // The red-box option is not stored and starts unchecked.
        QVERIFY(!again.in<QCheckBox>(QStringLiteral("Check4"))->isChecked());
    }

    void bothOptionsOffStopsChat()
    {
        QTemporaryDir dir;
        QFile f(dir.filePath(QStringLiteral("kelmmessagebox.ini")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[SETTINGS]\nOPTION1=0\nOPTION2=False\nCHECK66=junk\n");
        f.close();
        ChatRig r(dir.path());
        QVERIFY(!r.in<QRadioButton>(QStringLiteral("Option1"))->isChecked());
        QVERIFY(!r.in<QRadioButton>(QStringLiteral("Option2"))->isChecked());
        QCOMPARE(r.chatBox()->font().pointSize(), 10); // unconvertible: the default (small)
        r.rig.backend.raiseChat(QStringLiteral("XX2AB-L>hello"));
        QVERIFY(r.chatText().isEmpty());
    }

    void failedSaveIsReported()
    {
        ChatRig r;
        // A directory where the file should be: the write cannot succeed.
        QVERIFY(QDir(r.dir.path()).mkdir(QStringLiteral("kelmmessagebox.ini")));
        r.click(QStringLiteral("SaveIt"));
        QVERIFY(r.in<QLabel>(QStringLiteral("StatusLine"))->text().startsWith(QLatin1String("Settings not saved")));
        // Put right and saved again: the old report goes.
        QVERIFY(QDir(r.dir.path()).rmdir(QStringLiteral("kelmmessagebox.ini")));
        r.click(QStringLiteral("SaveIt"));
        QVERIFY(r.in<QLabel>(QStringLiteral("StatusLine"))->text().isEmpty());
    }

    // Every control fits inside the window in each panel state (nothing cut off at the
    // sizes the window takes). Pictures go to $TAVRIN_SCREENSHOT_DIR when it is set.
    void layoutFitsEveryState()
    {
        ChatRig r;
        auto *chat = r.chat();
        chat->show();
        r.rig.backend.raiseChat(QStringLiteral("XX9XYZ-L>FN14.2300 USB"));
        r.rig.backend.raiseChat(QStringLiteral("G4ABC>good evening all :) :beer cheers :73"));
        r.type(QStringLiteral("TextTX"), QStringLiteral("hello Bob ;-)"));
        r.click(QStringLiteral("Send"));
        r.rig.backend.raiseChat(QStringLiteral("XX2AB-L>:XX1TST-L~meet on 7.145 later? :wx)"));
        // A failure report stands on one line across the window, under the icons.
        r.rig.backend.failing.insert(QStringLiteral("SendChatText"));
        r.type(QStringLiteral("TextTX"), QStringLiteral("not going out"));
        r.click(QStringLiteral("Send"));
        auto *status = r.in<QLabel>(QStringLiteral("StatusLine"));
        const auto fits = [&](const char *state, bool extended) {
            QCoreApplication::processEvents();
            const QString dir = qEnvironmentVariable("TAVRIN_SCREENSHOT_DIR");
            if (!dir.isEmpty())
                chat->grab().save(QDir(dir).filePath(QStringLiteral("messages-%1.png").arg(QLatin1String(state))));
            // The window keeps its size: the controls' minimum sizes do not push it larger.
            QCOMPARE(chat->size(), extended ? QSize(px(chat, 8820, false), px(chat, 9700, true))
                                            : QSize(px(chat, 6990, false), px(chat, 8400, true)));
            QVERIFY(status->text().startsWith(QLatin1String("Not sent")));
            QCOMPARE(status->width(), r.chatBox()->width());
            QVERIFY(status->height() < 2 * status->fontMetrics().lineSpacing());
            QVERIFY(status->y() >= r.in<QWidget>(QStringLiteral("ChatIcons"))->geometry().bottom());
            const QRect inside = chat->rect();
            for (QWidget *w : chat->findChildren<QWidget *>()) {
                if (!w->isVisibleTo(chat) || w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")))
                    continue;
                const QRect g(w->mapTo(chat, QPoint(0, 0)), w->size());
                QVERIFY2(inside.contains(g), qPrintable(QStringLiteral("%1 outside in %2").arg(w->objectName(), QLatin1String(state))));
            }
        };
        fits("private", false);
        r.click(QStringLiteral("Command39"));
        r.type(QStringLiteral("FilterText1"), QStringLiteral("qrm"));
        fits("private-extra", true);
        r.click(QStringLiteral("Command3"));
        r.click(QStringLiteral("Command23"));
        fits("large-extra", true);
        r.click(QStringLiteral("Command39"));
        fits("plain", false);
    }

    // The program builds the window's controls on first use. Until then it takes every line
    // as a hidden window does (filters, version answer, extra call, the pad's lines, saving);
    // once built, by a message for us, it shows exactly what a window built at once shows.
    void builtOnFirstUseMatchesBuiltAtOnce()
    {
        const QByteArray file = "[SETTINGS]\r\nCHECK3=0\r\nCHECK66=0\r\nEXTRACALL=ab\r\nFILTERTEXT1=qrm\r\n";
        QTemporaryDir lazyDir;
        QTemporaryDir eagerDir;
        writeFile(lazyDir.filePath(QStringLiteral("kelmmessagebox.ini")), file);
        writeFile(eagerDir.filePath(QStringLiteral("kelmmessagebox.ini")), file);
        ChatRig lazy(lazyDir.path());
        ChatRig other(eagerDir.path());
        QVERIFY(lazy.started && other.started);
        messaging::ChatWindow eager(other.rig.program().store(), other.rig.program().registry(), other.rig.clock);
        eager.Form_Load(other.rig.program().createClient());
        messaging::ChatWindow *chat = lazy.chat();
        QVERIFY(!chat->findChild<QLineEdit *>());

        const auto play = [](ChatRig &r, messaging::ChatWindow &w, const QString &dir) {
            r.rig.backend.raiseChat(QStringLiteral("XX2AB-L>hello :) there"));
            r.rig.backend.raiseChat(QStringLiteral("XX2AB-L>lots of QRM here"));
            r.rig.backend.raiseChat(QStringLiteral("G4ABC>/chat/ :beer"));
            w.appendToChatBox(QStringLiteral("XX1TST-L>:from the pad :)\r\n"));
            // The stored extra call comes back when the window is closed.
            writeFile(QDir(dir).filePath(QStringLiteral("kelmmessagebox.ini")),
                      "[SETTINGS]\r\nCHECK3=0\r\nCHECK66=0\r\nEXTRACALL=xx7ext\r\nFILTERTEXT1=qrm\r\n");
            w.close();
            r.rig.backend.raiseChat(QStringLiteral("XX1AB>**XX7EXT** please call"));
            QVERIFY(w.SaveData());
            QVERIFY(QFile::remove(QDir(dir).filePath(QStringLiteral("kelmmessagebox.ini"))));
            QVERIFY(QDir(dir).mkdir(QStringLiteral("kelmmessagebox.ini")));
            QVERIFY(!w.SaveData());
        };
        play(lazy, *chat, lazyDir.path());
        QVERIFY(!chat->findChild<QLineEdit *>());
        QCOMPARE(chat->extraCall(), QStringLiteral("XX7EXT"));
        QVERIFY(lazy.sent().contains(QStringLiteral("Chat-QX v1.2.2")));
        QVERIFY(lazy.sent().contains(QStringLiteral(" Message has been received and left for the XX1TST-L's Sysop")));
        QVERIFY(lazy.mainLog().contains(QLatin1String("hello :) there")));
        QVERIFY(!lazy.mainLog().contains(QLatin1String("QRM")));
        play(other, eager, eagerDir.path());
        // Shown by name (menu, chat boxes, pad, sysop box): built first, holding the lines.
        QWidget *shownByName = other.rig.program().registry().window(QStringLiteral("Messages"));
        shownByName->show();
        auto *box = shownByName->findChild<QPlainTextEdit *>(QStringLiteral("RTB"));
        QVERIFY(box && box->toPlainText().contains(QLatin1String("**XX7EXT** please call")));

        // A message for the extra call builds and shows the window, and is answered.
        const QString privateLine = QStringLiteral("XX2AB-L>:XX7EXT~meet on 7.145");
        lazy.rig.backend.raiseChat(privateLine);
        other.rig.backend.raiseChat(privateLine);
        QVERIFY(chat->isVisible() && eager.isVisible());
        QVERIFY(lazy.sent().contains(QStringLiteral(":XX2AB-L>:XX7EXT~~ Message Received~")));
        QVERIFY(lazy.in<QLabel>(QStringLiteral("StatusLine"))->text().startsWith(QLatin1String("Settings not saved")));
        QCOMPARE(lazy.in<QLineEdit>(QStringLiteral("ExtraCall"))->text(), QStringLiteral("XX7EXT"));
        QCOMPARE(lazy.chatText(), QString::fromUtf16(u"XX2AB-L>: hello \uFFFC there\nG4ABC>: /chat/ \uFFFC\n"
                                                     u"XX1TST-L>:from the pad :)\nXX1AB>: **XX7EXT** please call\n"
                                                     u"XX2AB-L>: :XX7EXT~meet on 7.145\n"));
        QCoreApplication::processEvents();
        QCOMPARE(test::windowShape(*chat), test::windowShape(eager));
        QStringList lazyState = controlState(*chat).replaceInStrings(lazyDir.path(), QStringLiteral("DIR"));
        QCOMPARE(lazyState, controlState(eager).replaceInStrings(eagerDir.path(), QStringLiteral("DIR")));
    }

    void closingEndsTheProgram()
    {
        ChatRig r;
        QSignalSpy spy(r.chat(), &messaging::ChatWindow::endProgramRequested);
        r.rig.backend.raiseClosing();
        QCOMPARE(spy.count(), 1);
        QVERIFY(r.rig.program().isEnding());
    }

    void remotePadLogGetsUnstampedLines()
    {
        ChatRig r;
        QWidget *pad = r.rig.program().registry().window(QStringLiteral("Form3"));
        if (!pad)
            QSKIP("Remote Pad not built");
        auto *log = r.rig.program().registry().control<QPlainTextEdit>(QStringLiteral("Form3"), QStringLiteral("RTB"));
        QVERIFY(log);
        log->clear();
        r.in<QCheckBox>(QStringLiteral("Check2"))->setChecked(true);
        r.rig.backend.raiseChat(QStringLiteral("XX2AB-L>hello"));
        QCOMPARE(log->toPlainText(), QStringLiteral("XX2AB-L>hello\n"));
        r.type(QStringLiteral("TextTX"), QStringLiteral("answer"));
        r.click(QStringLiteral("Send"));
        QVERIFY(log->toPlainText().endsWith(QLatin1String("XX1TST-L>:answer\n")));
        // A line that did not go out is not shown there.
        r.rig.backend.failing.insert(QStringLiteral("SendChatText"));
        r.type(QStringLiteral("TextTX"), QStringLiteral("lost"));
        r.click(QStringLiteral("Send"));
        QVERIFY(!log->toPlainText().contains(QLatin1String("lost")));
    }

    void sysopButtonShowsTheSysopBox()
    {
        ChatRig r;
        QWidget *box = r.rig.program().registry().window(QStringLiteral("Form126"));
        if (!box)
            QSKIP("sysop box not built");
        QVERIFY(!box->isVisible());
        r.click(QStringLiteral("Command5"));
        QVERIFY(box->isVisible());
    }
};

QTEST_MAIN(ChatWindowTest)
#include "test_chat_window.moc"
