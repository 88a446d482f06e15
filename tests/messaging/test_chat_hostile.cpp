// Hostile incoming lines through the whole incoming path: each is handled without a crash
// or a hang, and shows what a reader can make sense of.
#include "test_chat_kit.h"

#include <QPlainTextEdit>

using namespace tavrin;
using namespace tavrin::test;

class ChatHostileTest : public QObject {
    Q_OBJECT
private slots:
    // An endless word costs the text layout far more than its length: every log shows at most
    // 8192 characters of a line, marked as cut, in paragraphs of at most 2048, and breaks a
    // word anywhere.
    void longLinesShowCutInEveryLog()
    {
        ChatRig r;
        const QString body(64 * 1024, QLatin1Char('a'));
        const QString cut = QStringLiteral(" \u2026 (%1 more characters not shown)");
        const auto paragraphsFit = [](const QString &text) {
            for (const QString &p : text.split(QLatin1Char('\n')))
                if (p.size() > 2048)
                    return false;
            return true;
        };
        r.rig.backend.raiseChat(QStringLiteral("XX2AB-L>") + body);
        const QString chat = r.chatText();
        QVERIFY(paragraphsFit(chat));
        QCOMPARE(QString(chat).remove(QLatin1Char('\n')),
                 QStringLiteral("XX2AB-L>: ") + body.left(8192 - 8) + cut.arg(body.size() - (8192 - 8)));
        const QString log = r.mainLog();
        QVERIFY(paragraphsFit(log));
        QCOMPARE(QString(log).remove(QLatin1Char('\n')),
                 QStringLiteral("XX2AB-L>") + body.left(8192 - 8) + cut.arg(body.size() - (8192 - 8)));
        // The one-line box shows the start of it, marked as cut.
        QCOMPARE(r.lastLine()->toPlainText().size(), qsizetype(1024 + 1));
        QVERIFY(r.lastLine()->toPlainText().endsWith(QChar(0x2026)));
        // The cut never leaves half a character.
        r.rig.backend.raiseChat(QStringLiteral("XX2AB-L>") + body.left(1015) + QString::fromUtf16(u"\U0001F600") + body);
        QCOMPARE(r.lastLine()->toPlainText(), QStringLiteral("XX2AB-L>") + body.left(1015) + QChar(0x2026));

        r.rig.backend.raiseChat(QStringLiteral("XX2AB-L>:XX1TST-L~") + body);
        QVERIFY(paragraphsFit(r.privateLog()));
        QVERIFY(r.privateLog().endsWith(cut.arg(QStringLiteral("Message From <- XX2AB-L> ").size() + body.size() - 8192) + QLatin1Char('\n')));
        r.rig.backend.raiseChat(QStringLiteral("XX2AB-L>**XX1TST** ") + body);
        auto *sysopLog = r.rig.program().registry().control<QPlainTextEdit>(QStringLiteral("Form126"),
                                                                             QStringLiteral("Text1"));
        QVERIFY(sysopLog);
        QVERIFY(paragraphsFit(sysopLog->toPlainText()));
        QVERIFY(sysopLog->toPlainText().contains(QStringLiteral("more characters not shown)")));

        const QList<QWidget *> logs{r.chatBox(), r.in<QTextEdit>(QStringLiteral("Text3")),
                                    r.inMain<QPlainTextEdit>(QStringLiteral("RTB2")), sysopLog};
        for (QWidget *w : logs) {
            const auto *rich = qobject_cast<QTextEdit *>(w);
            const auto *plain = qobject_cast<QPlainTextEdit *>(w);
            QCOMPARE(rich ? rich->wordWrapMode() : plain->wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);
        }
    }

    void controlCharactersAndNul()
    {
        ChatRig r;
        const char16_t raw[] = u"XX2AB-L>a\u0000b\u0001c\u001bd\u007fe\tf";
        const QString line = QString::fromUtf16(raw, qsizetype(std::size(raw)) - 1);
        QCOMPARE(line.size(), qsizetype(19));
        r.rig.backend.raiseChat(line);
        // Every control shows as a replacement character; TAB stays.
        QCOMPARE(r.chatText(), QString::fromUtf16(u"XX2AB-L>: a\uFFFDb\uFFFDc\uFFFDd\uFFFDe\tf\n"));
        QCOMPARE(r.mainLog(), QString::fromUtf16(u"XX2AB-L>a\uFFFDb\uFFFDc\uFFFDd\uFFFDe\tf\n"));
        // Structure characters cannot split the document or fake a picture.
        r.chatBox()->clear();
        r.rig.backend.raiseChat(QString::fromUtf16(u"XX2AB-L>x\uFDD0y\uFFFCz\u2029w"));
        QVERIFY(picturesIn(r.chatBox()->document()).isEmpty());
        QVERIFY(r.chatText().startsWith(QString::fromUtf16(u"XX2AB-L>: x\uFFFDy\uFFFDz")));
    }

    // Lines on screen share a paragraph, and a direction override left open runs to the end of
    // its paragraph: it must not turn the next station's line around.
    void directionOverrideStaysInItsLine()
    {
        ChatRig r;
        r.chat()->show();
        r.rig.window()->show();
        r.rig.backend.raiseChat(QString::fromUtf16(u"XX2AB-L>\u202Eevil \u2067x"));
        // Nor does a line without a tag that reads right to left, opening a paragraph.
        r.rig.backend.raiseChat(QString::fromUtf16(u"\u05E9\u05DC\u05D5\u05DD"));
        r.rig.backend.raiseChat(QStringLiteral("XX3CD-L>hello"));
        r.rig.backend.raiseChat(QStringLiteral("XX3CD-L>again"));
        for (const QTextDocument *doc : {r.chatBox()->document(), r.inMain<QPlainTextEdit>(QStringLiteral("RTB2"))->document()}) {
            const QTextBlock hello = doc->find(QStringLiteral("hello")).block();
            QVERIFY(!hello.text().contains(QChar(0x202E)));
            QCOMPARE(hello.textDirection(), Qt::LeftToRight);
            QVERIFY(hello == doc->find(QStringLiteral("again")).block()); // plain lines still share
        }
    }

    void invalidUtf8()
    {
        ChatRig r;
        const QString line = QString::fromUtf8(QByteArray("XX2AB-L>bad \xC3\x28 \xA0\xA1 \xF0\x28\x8C\xBC end"));
        r.rig.backend.raiseChat(line);
        QVERIFY(r.chatText().startsWith(QLatin1String("XX2AB-L>: bad ")));
        QVERIFY(r.chatText().endsWith(QLatin1String(" end\n")));
        // Lone surrogates (what a broken decoder can leave) are replaced, not passed on.
        QString broken = QStringLiteral("XX2AB-L>x");
        broken.append(QChar(0xDC01));
        r.rig.backend.raiseChat(broken);
        QVERIFY(r.chatText().endsWith(QString::fromUtf16(u"XX2AB-L>: x\uFFFD\n")));
    }

    // A line break before the first ">" cannot make a tag of its own, in any log.
    void lineBreakInTheTag()
    {
        ChatRig r;
        r.rig.backend.raiseChat(QString::fromUtf16(u"evil\rXX9XYZ-L\u2028XX8AA>FN14.2300"));
        QCOMPARE(r.chatText(), QStringLiteral("evil XX9XYZ-L XX8AA>: FN14.2300\n"));
        QCOMPARE(r.mainLog(), QStringLiteral("evil XX9XYZ-L XX8AA>FN14.2300\n"));
    }

    // Status lines quote what others wrote: markup shows as typed, never as formatting.
    void markupInStatusLinesShowsAsWritten()
    {
        ChatRig r;
        // Laid out as the same text taken literally would be.
        const auto showsLiterally = [](const QLabel *label) {
            QLabel literal;
            literal.setFont(label->font());
            literal.setWordWrap(label->wordWrap());
            literal.setTextFormat(Qt::PlainText);
            literal.setText(label->text());
            return literal.sizeHint() == label->sizeHint();
        };
        r.rig.window()->showStatus(QStringLiteral("Ignored a connection from 127.0.0.9: \"<h1>x</h1>\" is not a callsign"));
        auto *mainStatus = r.inMain<QLabel>(QStringLiteral("StatusLine"));
        QVERIFY(showsLiterally(mainStatus));
        auto *entry = r.rig.program().registry().control<QLineEdit>(QStringLiteral("Form3"), QStringLiteral("Text3"));
        entry->setText(QStringLiteral("<b>1</b>"));
        r.rig.program().registry().control<QPushButton>(QStringLiteral("Form3"), QStringLiteral("Command35"))->click();
        auto *padStatus = r.rig.program().registry().control<QLabel>(QStringLiteral("Form3"), QStringLiteral("StatusLine"));
        QVERIFY(padStatus->text().contains(QLatin1String("<b>1</b>")));
        QVERIFY(showsLiterally(padStatus));
    }

    void onlyMarkers()
    {
        ChatRig r;
        r.rig.backend.raiseChat(QStringLiteral(">"));
        QCOMPARE(r.chatText(), QStringLiteral(">: \n"));
        QCOMPARE(r.mainLog(), QStringLiteral(">\n"));
        QCOMPARE(r.lastLine()->toPlainText(), QStringLiteral(">"));
        r.rig.backend.raiseChat(QStringLiteral("~"));
        QVERIFY(r.chatText().endsWith(QLatin1String(": ~\n")));
        QVERIFY(r.privateLog().isEmpty());
        r.rig.backend.raiseChat(QString());
        QVERIFY(r.chatText().endsWith(QLatin1String(": ~\n: \n")));
        // A lone "~" after a tag names nobody: no receipt.
        r.rig.backend.clearCalls();
        r.rig.backend.raiseChat(QStringLiteral("XX2AB-L>:~"));
        QVERIFY(r.sent().isEmpty());
    }

    void tenThousandCodes()
    {
        ChatRig r;
        QString body;
        for (int k = 0; k < 10000; ++k)
            body += QStringLiteral(":) ");
        r.rig.backend.raiseChat(QStringLiteral("XX2AB-L>") + body);
        // Pictures up to the cut: 8192 characters of tag and codes.
        const QStringList pictures = picturesIn(r.chatBox()->document());
        QCOMPARE(pictures.size(), (8192 - 8) / 3);
        QCOMPARE(pictures.first(), QStringLiteral("emoticon:0"));
        // The main window's copies stay plain text.
        QVERIFY(r.mainLog().contains(QLatin1String(":) :) ")));
    }
};

QTEST_MAIN(ChatHostileTest)
#include "test_chat_hostile.moc"
