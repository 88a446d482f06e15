// The chat window's line handling without widgets: filters, sender split, display clean-up,
// emoticon replacement and the settings file's conversions.
#include "messaging/ChatFormat.h"
#include "messaging/ChatSettings.h"
#include "messaging/Emoticons.h"
#include "protocol/ChatTexts.h"

#include <QElapsedTimer>
#include <QTest>

using namespace tavrin;
using namespace tavrin::messaging;

namespace {

// Segments as a readable string: pictures as [n].
QString flat(const QList<LineSegment> &segments)
{
    QString out;
    for (const LineSegment &s : segments)
        out += s.picture >= 0 ? QStringLiteral("[%1]").arg(s.picture) : s.text;
    return out;
}

} // namespace

class ChatLogicTest : public QObject {
    Q_OBJECT
private slots:
    void versionAnswerAndQuery()
    {
        QCOMPARE(remote::chatVersionAnswer(), QStringLiteral("Chat-QX v1.2.2"));
        QVERIFY(remote::isChatVersionQuery(QStringLiteral("XX1AB-L>/chat/")));
        QVERIFY(remote::isChatVersionQuery(QStringLiteral("/chat/ at start")));
        QVERIFY(!remote::isChatVersionQuery(QStringLiteral("XX1AB-L>/CHAT/")));
        QVERIFY(!remote::isChatVersionQuery(QStringLiteral("XX1AB-L>/chat")));
    }

    void filterPositionRule()
    {
        const ChatFilter filter({QStringLiteral("rig")}, true);
        QVERIFY(!filter.drops(QStringLiteral("rig is fine")));          // first character only
        QVERIFY(filter.drops(QStringLiteral("XX1AB-L>my rig")));
        QVERIFY(filter.drops(QStringLiteral("XX1AB-L>rig")));           // tag is searched too
        QVERIFY(filter.drops(QStringLiteral("rig and another rig")));   // again after the first
        QVERIFY(!filter.drops(QStringLiteral("XX1AB-L>nothing here")));
        QVERIFY(!filter.drops(QString()));
    }

    void filterCaseRules()
    {
        const ChatFilter exact({QStringLiteral("QrM")}, true);
        QVERIFY(exact.drops(QStringLiteral("A>some QrM here")));
        QVERIFY(!exact.drops(QStringLiteral("A>some qrm here")));
        const ChatFilter blind({QStringLiteral("QrM")}, false);
        QVERIFY(blind.drops(QStringLiteral("A>some qrm here")));
        QVERIFY(blind.drops(QStringLiteral("A>some QRM here")));
        // Built-in words always in any case, whatever the filter setting.
        QVERIFY(exact.drops(QStringLiteral("A>what BOLLOCKS")));
        QVERIFY(exact.drops(QStringLiteral("A>piss off")));
        QVERIFY(!exact.drops(QStringLiteral("shit at the start only")));
        // Empty filters never match.
        const ChatFilter empty({QString(), QString()}, false);
        QVERIFY(!empty.drops(QStringLiteral("A>an ordinary line")));
        QCOMPARE(builtInWords().size(), size_t(10));
    }

    void senderSplitAndLineEnds()
    {
        SenderSplit s = splitSender(QStringLiteral("XX1AB-L>FN14.2300 > USB"));
        QCOMPARE(s.tag, QStringLiteral("XX1AB-L>"));
        QCOMPARE(s.message, QStringLiteral("FN14.2300 > USB"));
        s = splitSender(QStringLiteral("no tag here"));
        QCOMPARE(s.tag, QString());
        QCOMPARE(s.message, QStringLiteral("no tag here"));
        s = splitSender(QStringLiteral(">"));
        QCOMPARE(s.tag, QStringLiteral(">"));
        QCOMPARE(s.message, QString());

        QCOMPARE(crToCrLf(QStringLiteral("a\rb\r")), QStringLiteral("a\r\nb\r\n"));
        QCOMPARE(crToCrLf(QStringLiteral("a\nb")), QStringLiteral("a\nb"));
        QCOMPARE(stampIncoming(QTime(9, 5, 7), QStringLiteral("hi")), QStringLiteral("(09:05) hi"));
        QCOMPARE(remote::stampOutgoing(QTime(21, 0), QStringLiteral("hi")), QStringLiteral("(21:00) >hi"));
    }

    void displayCleanUp()
    {
        QCOMPARE(displayText(QStringLiteral("plain\ttext")), QStringLiteral("plain\ttext"));
        QCOMPARE(displayText(QStringLiteral("a\r\nb")), QStringLiteral("a\nb"));
        QCOMPARE(oneLine(QString::fromUtf16(u"a\r\nb\rc\nd\u2029e\r\r")), QStringLiteral("a b c d e  "));
        const char16_t controls[] = u"a\u0000b\u0007c\u007f";
        QCOMPARE(displayText(QString::fromUtf16(controls, 6)), QString::fromUtf16(u"a\uFFFDb\uFFFDc\uFFFD"));
        // Characters the document would turn into structure or pictures.
        QCOMPARE(displayText(QString::fromUtf16(u"x\uFFFCy\uFDD0z\uFDD1")), QString::fromUtf16(u"x\uFFFDy\uFFFDz\uFFFD"));
        // Lone surrogates go; a proper pair stays.
        QString broken = QStringLiteral("a");
        broken.append(QChar(0xD800));
        broken.append(QLatin1Char('b'));
        broken.append(QChar(0xDC00));
        QCOMPARE(displayText(broken), QString::fromUtf16(u"a\uFFFDb\uFFFD"));
        const QString pair = QString::fromUtf16(u"\U0001F600");
        QCOMPARE(displayText(pair), pair);
        // Invalid UTF-8 arrives already decoded with replacement characters and stays readable.
        const QString fromBytes = QString::fromUtf8(QByteArray("ok \xC3\x28 \xFF end"));
        QVERIFY(displayText(fromBytes).startsWith(QLatin1String("ok ")));
        QVERIFY(displayText(fromBytes).endsWith(QLatin1String(" end")));
    }

    void emoticonTable()
    {
        QCOMPARE(emoticonCodes(22), (QStringList{QStringLiteral(":Drink"), QStringLiteral("drink")}));
        QCOMPARE(emoticonCodes(29).size(), 1);
        // Every button inserts one of its element's codes, surrounded as listed.
        for (const EmoticonButton &b : emoticonButtons()) {
            const QString inserted = QString::fromLatin1(b.inserted);
            QVERIFY2(inserted.startsWith(QLatin1Char(' ')), b.name);
            const QList<LineSegment> segs = emoticonSegments(inserted);
            bool hasPicture = false;
            for (const LineSegment &s : segs)
                hasPicture = hasPicture || s.picture == b.element;
            QVERIFY2(hasPicture, b.name);
        }
        QCOMPARE(QString::fromLatin1(emoticonButtons().at(13).inserted), QStringLiteral(" :r)"));
    }

    void emoticonReplacementOrder()
    {
        // An earlier element wins where codes overlap.
        QCOMPARE(flat(emoticonSegments(QStringLiteral(":>)"))), QStringLiteral("[7]"));
        QCOMPARE(flat(emoticonSegments(QStringLiteral(":>"))), QStringLiteral("[9]"));
        QCOMPARE(flat(emoticonSegments(QStringLiteral(";-) :-)"))), QStringLiteral("[1] [8]"));
        QCOMPARE(flat(emoticonSegments(QStringLiteral(":-( :("))), QStringLiteral("[2] [2]"));
        // Case matters, and "drink" matches inside ":drink" after ":Drink" had its turn.
        QCOMPARE(flat(emoticonSegments(QStringLiteral(" :drink "))), QStringLiteral(" :[22] "));
        QCOMPARE(flat(emoticonSegments(QStringLiteral(":Drinkdrink"))), QStringLiteral("[22][22]"));
        QCOMPARE(flat(emoticonSegments(QStringLiteral(":ECHOLINK"))), QStringLiteral(":ECHOLINK"));
        // Repeats and neighbours: a picture separates the text on both sides.
        QCOMPARE(flat(emoticonSegments(QStringLiteral(":):):)"))), QStringLiteral("[0][0][0]"));
        QCOMPARE(flat(emoticonSegments(QStringLiteral("::))"))), QStringLiteral(":[0])"));
        QCOMPARE(flat(emoticonSegments(QStringLiteral("a :) b :xx c"))), QStringLiteral("a [0] b [6] c"));
        QCOMPARE(flat(emoticonSegments(QStringLiteral(":73 es :ok"))), QStringLiteral("[29] es [30]"));
        QVERIFY(emoticonSegments(QString()).isEmpty());
        const QList<LineSegment> plain = emoticonSegments(QStringLiteral("no codes at all"));
        QCOMPARE(plain.size(), 1);
        QCOMPARE(plain.first().picture, -1);
    }

    void emoticonHostileSizes()
    {
        QString many;
        for (int k = 0; k < 10000; ++k)
            many += QStringLiteral(":) ");
        const QList<LineSegment> segs = emoticonSegments(many);
        int pictures = 0;
        for (const LineSegment &s : segs)
            pictures += s.picture == 0 ? 1 : 0;
        QCOMPARE(pictures, 10000);
        // 64 KiB of colons never matches and must not blow up.
        const QString colons(64 * 1024, QLatin1Char(':'));
        QCOMPARE(emoticonSegments(colons).size(), 1);
    }

    void settingsConversions()
    {
        QCOMPARE(checkValue(QStringLiteral("1"), false), true);
        QCOMPARE(checkValue(QStringLiteral(" 0 "), true), false);
        QCOMPARE(checkValue(QStringLiteral("yes"), true), true);
        QCOMPARE(checkValue(QStringLiteral("7"), false), false);
        QCOMPARE(checkValue(QString(), true), true);
        QCOMPARE(optionValue(QStringLiteral("True"), false), true);
        QCOMPARE(optionValue(QStringLiteral("false"), true), false);
        QCOMPARE(optionValue(QStringLiteral("-1"), false), true);
        QCOMPARE(optionValue(QStringLiteral("0"), true), false);
        QCOMPARE(optionValue(QStringLiteral("maybe"), true), true);
    }

    void settingsDefaultsAndKeys()
    {
        const ChatSettings d = ChatSettings::read(ProfileSnapshot(QByteArray(), 265));
        QVERIFY(d.caseSensitive);
        QVERIFY(!d.showOnLine);
        QVERIFY(d.smallText);
        QVERIFY(d.useChat);
        QVERIFY(!d.stopChat);
        QVERIFY(d.extraCall.isEmpty());

        ChatSettings s;
        s.caseSensitive = false;
        s.showOnLine = true;
        s.smallText = false;
        s.useChat = false;
        s.stopChat = true;
        s.extraCall = QStringLiteral("G0ABC");
        s.filters.at(11) = QStringLiteral("last");
        const KeyValues kv = s.toKeyValues();
        QCOMPARE(kv.size(), 18);
        QCOMPARE(kv.at(0), (QPair<QString, QString>{QStringLiteral("CHECK3"), QStringLiteral("0")}));
        QCOMPARE(kv.at(2), (QPair<QString, QString>{QStringLiteral("CHECK66"), QStringLiteral("0")}));
        QCOMPARE(kv.at(3), (QPair<QString, QString>{QStringLiteral("OPTION1"), QStringLiteral("False")}));
        QCOMPARE(kv.at(4), (QPair<QString, QString>{QStringLiteral("OPTION2"), QStringLiteral("True")}));
        QCOMPARE(kv.at(5), (QPair<QString, QString>{QStringLiteral("EXTRACALL"), QStringLiteral("G0ABC")}));
        QCOMPARE(kv.at(17), (QPair<QString, QString>{QStringLiteral("FILTERTEXT12"), QStringLiteral("last")}));

        // Round trip through the file text, keys read case-blind; junk falls back to defaults.
        QByteArray file = applyWrites(QByteArray(), QLatin1String(kSettingsSection), kv);
        file.replace("CHECK5=1", "check5=x");
        const ChatSettings back = ChatSettings::read(ProfileSnapshot(file, 265));
        QVERIFY(!back.caseSensitive);
        QVERIFY(!back.showOnLine); // unconvertible: default
        QVERIFY(!back.smallText);
        QVERIFY(!back.useChat);
        QVERIFY(back.stopChat);
        QCOMPARE(back.extraCall, QStringLiteral("G0ABC"));
        QCOMPARE(back.filters.at(11), QStringLiteral("last"));
    }
};

QTEST_GUILESS_MAIN(ChatLogicTest)
#include "test_chat_logic.moc"
