// Private messages: the markers, the receipt and the log lines as plain functions, then the
// whole round through the chat window with the fake client.
#include "test_chat_kit.h"

#include "messaging/PrivateLog.h"
#include "protocol/PrivateMessages.h"

using namespace tavrin;
using namespace tavrin::messaging;
using namespace tavrin::remote;
using namespace tavrin::test;

class PrivateMessagesTest : public QObject {
    Q_OBJECT
private slots:
    void markersAndTest()
    {
        QCOMPARE(privateMarker(QStringLiteral("XX1TST-L")), QStringLiteral(":XX1TST-L~"));
        QCOMPARE(extraReplyMarker(QStringLiteral("XX1TST-L"), QStringLiteral("g0xyz")),
                 QStringLiteral(":XX1TST-L>:G0XYZ~"));
        const PrivateMarkers m{QStringLiteral("G0XYZ"), QStringLiteral("XX1TST-L"), QStringLiteral("XX2AB-L")};
        QVERIFY(m.addressedBy(QStringLiteral("XX2AB-L>:XX1TST-L~hi")));
        QVERIFY(m.addressedBy(QStringLiteral("XX2AB-L>:G0XYZ~hi")));
        QVERIFY(m.addressedBy(QStringLiteral("XX2AB-L>:XX1TST-L>:XX2AB-L~~ Message Received~")));
        QVERIFY(m.addressedBy(QStringLiteral("XX2AB-L>(09:05) >:XX1TST-L~hi")));
        // Only after the first character, and exactly.
        QVERIFY(!m.addressedBy(QStringLiteral(":XX1TST-L~hi")));
        QVERIFY(!m.addressedBy(QStringLiteral("XX2AB-L>:xx1tst-l~hi")));
        QVERIFY(!m.addressedBy(QStringLiteral("XX2AB-L>:XX1TST-L hi")));
        // An empty callsign gives no ":~" marker that half the chat would match.
        const PrivateMarkers none{QString(), QString(), QString()};
        QVERIFY(!none.addressedBy(QStringLiteral("XX2AB-L>:~ smile")));
    }

    void receiptsAndLogLines()
    {
        const QString me = QStringLiteral("XX1TST-L");
        const QString extra = QStringLiteral("G0XYZ");
        PrivateSplit msg = splitPrivate(QStringLiteral("XX2AB-L>:XX1TST-L~hello ~ there"));
        QCOMPARE(msg.header, QStringLiteral("XX2AB-L>:XX1TST-L~"));
        QCOMPARE(msg.body, QStringLiteral("hello ~ there"));
        QCOMPARE(receiptFor(msg, me, extra), QStringLiteral(":XX2AB-L~ Message Received~"));
        QCOMPARE(receivedLogLine(msg, me), QStringLiteral("Message From <- XX2AB-L> hello ~ there\r\n"));
        // The sender's own line breaks cannot start what reads as another station's message.
        msg = splitPrivate(QStringLiteral("XX2AB-L>:XX1TST-L~hi\rMessage From <- XX9XYZ-L> a\nb\r\nc"));
        QCOMPARE(receivedLogLine(msg, me), QStringLiteral("Message From <- XX2AB-L> hi Message From <- XX9XYZ-L> a b c\r\n"));

        // A receipt is logged but never answered.
        msg = splitPrivate(QStringLiteral("XX2AB-L>:XX1TST-L~ Message Received~"));
        QCOMPARE(receiptFor(msg, me, extra), QString());
        QCOMPARE(receivedLogLine(msg, me), QStringLiteral("Message From <- XX2AB-L>  Message Received~\r\n"));

        // Through the extra call: the receipt keeps ">:" + extra call + "~".
        msg = splitPrivate(QStringLiteral("XX2AB-L>:G0XYZ~hi"));
        QCOMPARE(receiptFor(msg, me, extra), QStringLiteral(":XX2AB-L>:G0XYZ~~ Message Received~"));
        // The receipt goes to the sender tag, whatever else the header holds: a stamp, or a
        // sender whose call begins with ours.
        msg = splitPrivate(QStringLiteral("XX2AB-L>(09:05) >:XX1TST-L~hi"));
        QCOMPARE(receiptFor(msg, me, extra), QStringLiteral(":XX2AB-L~ Message Received~"));
        msg = splitPrivate(QStringLiteral("XX2AB-L>(09:05) >:G0XYZ~hi"));
        QCOMPARE(receiptFor(msg, me, extra), QStringLiteral(":XX2AB-L>:G0XYZ~~ Message Received~"));
        msg = splitPrivate(QStringLiteral("K1ABC>:K1AB~hi"));
        QCOMPARE(receiptFor(msg, QStringLiteral("K1AB"), QStringLiteral("K1AB")), QStringLiteral(":K1ABC~ Message Received~"));
        QCOMPARE(receiptFor(splitPrivate(QStringLiteral("junk:XX1TST-L~no tag")), me, extra), QString());
        // Empty body: still answered.
        msg = splitPrivate(QStringLiteral("XX2AB-L>:XX1TST-L~"));
        QCOMPARE(receiptFor(msg, me, extra), QStringLiteral(":XX2AB-L~ Message Received~"));

        QCOMPARE(sentLogLine(QStringLiteral("XX2AB-L"), QStringLiteral("09:05"), QStringLiteral("hi")),
                 QStringLiteral("Message Sent To -> XX2AB-L 09:05 > hi\r\n"));
        QCOMPARE(sentLogLine(QStringLiteral("XX2AB-L"), QStringLiteral("09:05"), QStringLiteral("hi"), false),
                 QStringLiteral("Message NOT Sent To -> XX2AB-L 09:05 > hi\r\n"));
        QCOMPARE(wireText(SendForm::Private, QStringLiteral("XX2AB-L"), QStringLiteral("hi")), QStringLiteral(":XX2AB-L~hi"));
        QCOMPARE(wireText(SendForm::SysopButton, QStringLiteral("XX2AB-L"), QStringLiteral("hi")),
                 QStringLiteral("**XX2AB-L**hi"));
        QCOMPARE(wireText(SendForm::SysopEnter, QStringLiteral("XX2AB-L"), QStringLiteral("hi")),
                 QStringLiteral("**XX2AB-L** hi"));
    }

    void incomingPrivateMessage()
    {
        ChatRig r;
        r.type(QStringLiteral("Text1"), QStringLiteral("somebody"));
        r.rig.backend.raiseChat(QStringLiteral("XX2AB-L>:XX1TST-L~hello there"));
        QCOMPARE(r.privateLog(), QStringLiteral("Message From <- XX2AB-L> hello there\n"));
        QVERIFY(r.sent().contains(QStringLiteral(":XX2AB-L~ Message Received~")));
        QVERIFY(r.chat()->isVisible());
        QCOMPARE(r.in<QPushButton>(QStringLiteral("Command3"))->text(), QStringLiteral("Hide Private Message"));
        QVERIFY(!r.in<QPushButton>(QStringLiteral("ClearRX"))->isVisible());
        QCOMPARE(r.chatBox()->height(), messaging::twipsToPx(2655, r.chat()->logicalDpiY()));
        QVERIFY(r.in<QLineEdit>(QStringLiteral("Text1"))->text().isEmpty());
        // Also an ordinary chat line.
        QVERIFY(r.chatText().contains(QLatin1String("XX2AB-L>: :XX1TST-L~hello there")));

        // The receipt coming back is logged, not answered.
        r.rig.backend.clearCalls();
        r.rig.backend.raiseChat(QStringLiteral("XX2AB-L>:XX1TST-L~ Message Received~"));
        QVERIFY(r.privateLog().endsWith(QLatin1String("Message From <- XX2AB-L>  Message Received~\n")));
        QVERIFY(r.sent().isEmpty());

        // Marker at the first character only: not for us.
        const QString log = r.privateLog();
        r.rig.backend.raiseChat(QStringLiteral(":XX1TST-L~no tag"));
        QCOMPARE(r.privateLog(), log);
    }

    void stopChatStillHandlesPrivateMessages()
    {
        ChatRig r;
        r.click(QStringLiteral("Option2"));
        r.type(QStringLiteral("FilterText1"), QStringLiteral("secret"));
        r.rig.backend.raiseChat(QStringLiteral("XX2AB-L>:XX1TST-L~secret stuff"));
        QVERIFY(r.privateLog().contains(QLatin1String("secret stuff")));
        QVERIFY(r.sent().contains(QStringLiteral(":XX2AB-L~ Message Received~")));
        QVERIFY(r.chatText().isEmpty());
        QVERIFY(r.mainLog().isEmpty());
    }

    void extraCallRules()
    {
        ChatRig r;
        auto *extra = r.in<QLineEdit>(QStringLiteral("ExtraCall"));
        extra->setText(QStringLiteral("ab"));
        r.rig.backend.raiseChat(QStringLiteral("XX2AB-L>anything"));
        QCOMPARE(extra->text(), QStringLiteral("XX1TST-L"));
        extra->setText(QStringLiteral(" g0xyz ")); // pasted with blanks
        r.rig.backend.raiseChat(QStringLiteral("XX2AB-L>anything"));
        QCOMPARE(extra->text(), QStringLiteral("G0XYZ"));
        r.rig.backend.raiseChat(QStringLiteral("XX2AB-L>:G0XYZ~via the link"));
        QVERIFY(r.privateLog().contains(QLatin1String("via the link")));
        QVERIFY(r.sent().contains(QStringLiteral(":XX2AB-L>:G0XYZ~~ Message Received~")));

        // The sender's side: a receipt through the other station's extra call is accepted
        // while the destination box still holds that call.
        r.type(QStringLiteral("Text1"), QStringLiteral("m0abc"));
        r.rig.backend.raiseChat(QStringLiteral("XX3CD-L>:XX1TST-L>:M0ABC~~ Message Received~"));
        QCOMPARE(r.chat()->extraReplyMarker(), QStringLiteral(":XX1TST-L>:M0ABC~"));
        QVERIFY(r.privateLog().contains(QLatin1String("XX3CD-L>:XX1TST-L>:M0ABC~~ Message Received~")));
    }

    void sendingForms()
    {
        ChatRig r;
        r.type(QStringLiteral("TextTX"), QStringLiteral("half typed"));
        r.type(QStringLiteral("Text1"), QStringLiteral(" xx2ab-l ")); // pasted with blanks
        r.type(QStringLiteral("Text2"), QStringLiteral("hello"));
        r.click(QStringLiteral("Command2"));
        QCOMPARE(r.sent().last(), QStringLiteral(":XX2AB-L~hello"));
        QCOMPARE(r.in<QLineEdit>(QStringLiteral("Text1"))->text(), QStringLiteral("XX2AB-L"));
        QVERIFY(r.in<QLineEdit>(QStringLiteral("Text2"))->text().isEmpty());
        QVERIFY(r.in<QLineEdit>(QStringLiteral("TextTX"))->text().isEmpty());
        QCOMPARE(r.privateLog(), QStringLiteral("Message Sent To -> XX2AB-L 09:05 > hello\n"));
        QVERIFY(r.chatText().endsWith(QLatin1String("XX1TST-L> : :XX2AB-L~hello\n")));

        r.in<QCheckBox>(QStringLiteral("Check4"))->setChecked(true);
        r.type(QStringLiteral("Text2"), QStringLiteral("by button"));
        r.click(QStringLiteral("Command2"));
        QCOMPARE(r.sent().last(), QStringLiteral("**XX2AB-L**by button"));
        r.type(QStringLiteral("Text2"), QStringLiteral("by enter"));
        r.enter(QStringLiteral("Text2"));
        QCOMPARE(r.sent().last(), QStringLiteral("**XX2AB-L** by enter"));

        // Stamped outgoing: the form follows the stamp.
        r.in<QCheckBox>(QStringLiteral("Check4"))->setChecked(false);
        r.in<QCheckBox>(QStringLiteral("Check1"))->setChecked(true);
        r.type(QStringLiteral("Text2"), QStringLiteral("stamped"));
        r.click(QStringLiteral("Command2"));
        QCOMPARE(r.sent().last(), QStringLiteral("(09:05) >:XX2AB-L~stamped"));

        // A receipt empties the destination box: a send to nobody is refused, not sent as ":~".
        r.rig.backend.raiseChat(QStringLiteral("XX2AB-L>:XX1TST-L~ Message Received~"));
        const QString log = r.privateLog();
        const qsizetype sent = r.sent().size();
        r.type(QStringLiteral("Text2"), QStringLiteral("to whom?"));
        r.click(QStringLiteral("Command2"));
        QCOMPARE(r.sent().size(), sent);
        QCOMPARE(r.privateLog(), log);
        QCOMPARE(r.in<QLineEdit>(QStringLiteral("Text2"))->text(), QStringLiteral("to whom?"));
        QVERIFY(r.in<QLabel>(QStringLiteral("StatusLine"))->text().contains(QLatin1String("callsign")));
    }

    void failedPrivateSendKeepsTheMessage()
    {
        ChatRig r;
        r.rig.backend.failing.insert(QStringLiteral("SendChatText"));
        r.type(QStringLiteral("TextTX"), QStringLiteral("half typed"));
        r.type(QStringLiteral("Text1"), QStringLiteral("XX2AB-L"));
        r.type(QStringLiteral("Text2"), QStringLiteral("do not lose me"));
        r.click(QStringLiteral("Command2"));
        QCOMPARE(r.in<QLineEdit>(QStringLiteral("Text2"))->text(), QStringLiteral("do not lose me"));
        QCOMPARE(r.privateLog(), QStringLiteral("Message NOT Sent To -> XX2AB-L 09:05 > do not lose me\n"));
        QVERIFY(!r.privateLog().contains(QLatin1String("Message Sent")));
        QVERIFY(r.in<QLabel>(QStringLiteral("StatusLine"))->text().startsWith(QLatin1String("Not sent")));
        QVERIFY(r.chatText().isEmpty());
        // The send box gets back what was typed there, not the wire text.
        QCOMPARE(r.in<QLineEdit>(QStringLiteral("TextTX"))->text(), QStringLiteral("half typed"));

        // A failed receipt is lost silently; the message is still logged and shown.
        r.rig.backend.raiseChat(QStringLiteral("XX2AB-L>:XX1TST-L~while failing"));
        QVERIFY(r.privateLog().contains(QLatin1String("while failing")));
        QVERIFY(r.chatText().contains(QLatin1String("while failing")));
    }
};

QTEST_MAIN(PrivateMessagesTest)
#include "test_private_messages.moc"
