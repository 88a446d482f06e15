#include "echolink/SimulatedNode.h"

#include <QtTest>

using namespace tavrin;

namespace {
const QString kNode = QStringLiteral("XX9XYZ-L");
const QDateTime kNow(QDate(2024, 3, 9), QTime(14, 5, 9));
} // namespace

class TestSimulatedNode : public QObject {
    Q_OBJECT
private slots:
    void frequencyCommand_data();
    void frequencyCommand();
    void unusableFrequencyLeavesNodeAlone_data();
    void unusableFrequencyLeavesNodeAlone();
    void queries();
    void userCommands_data();
    void userCommands();
    void switchesToggle();
    void endOfTransmission_data();
    void endOfTransmission();
};

void TestSimulatedNode::frequencyCommand_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("frequency");
    QTest::addColumn<QString>("mode");
    QTest::newRow("preset") << "FN14.2350" << "14.2350" << "USB";
    QTest::newRow("entry line with time") << "FN14.2350 MHz  -  09:05:07" << "14.2350" << "USB";
    QTest::newRow("time prefix") << "(09:05) >FN7.1" << "7.1000" << "LSB";
    QTest::newRow("lower case") << "fn3.5" << "3.5000" << "LSB";
    QTest::newRow("whole MHz") << "FN21" << "21.0000" << "USB";
    QTest::newRow("second point ends the number") << "FN14.23.5" << "14.2300" << "USB";
    QTest::newRow("bare FN before a real one") << "FN? then FN7.0745" << "7.0745" << "LSB";
    QTest::newRow("just below 10 MHz") << "FN9.9999" << "9.9999" << "LSB";
    QTest::newRow("10 MHz is upper sideband") << "FN10.0000" << "10.0000" << "USB";
    QTest::newRow("rounded to four decimals") << "FN1.85004" << "1.8500" << "LSB";
}

void TestSimulatedNode::frequencyCommand()
{
    QFETCH(QString, line);
    QFETCH(QString, frequency);
    QFETCH(QString, mode);
    SimulatedNode node(kNode);
    const SimulatedNode::Answer a = node.hear(line, kNow);
    QCOMPARE(node.frequency(), frequency);
    QCOMPARE(node.mode(), mode);
    QCOMPARE(a.lines, QStringList{kNode + ">FN" + frequency + " " + mode});
    QVERIFY(!a.endTransmission);
}

void TestSimulatedNode::unusableFrequencyLeavesNodeAlone_data()
{
    QTest::addColumn<QString>("line");
    QTest::newRow("bare FN") << "FN";
    QTest::newRow("FN then words") << "FN please";
    QTest::newRow("zero") << "FN0";
    QTest::newRow("absurdly large") << "FN99999999999999999999999999";
    QTest::newRow("point only") << "FN.";
    QTest::newRow("plain chat") << "hello from the shack";
}

void TestSimulatedNode::unusableFrequencyLeavesNodeAlone()
{
    QFETCH(QString, line);
    SimulatedNode node(kNode);
    QVERIFY(node.hear(line, kNow).lines.isEmpty());
    QCOMPARE(node.frequency(), QStringLiteral("14.2300"));
    QCOMPARE(node.mode(), QStringLiteral("USB"));
}

void TestSimulatedNode::queries()
{
    SimulatedNode node(kNode);
    QCOMPARE(node.hear("FR?", kNow).lines, QStringList{"XX9XYZ-L>FN14.2300 USB"});
    node.hear("FN7.1450", kNow);
    QCOMPARE(node.hear("14:00:00 FR?", kNow).lines, QStringList{"XX9XYZ-L>FN7.1450 LSB"});
    QCOMPARE(node.hear("Time?", kNow).lines, QStringList{"XX9XYZ-L>Time 14:05:09"});
    // Hour in 24-hour form, two digits each.
    QCOMPARE(node.hear("Time?", QDateTime(QDate(2024, 1, 1), QTime(9, 3, 4))).lines,
             QStringList{"XX9XYZ-L>Time 09:03:04"});
    // Several commands in one line are each answered, in a fixed order.
    QCOMPARE(node.hear("FN18.1000 Time?", kNow).lines,
             (QStringList{"XX9XYZ-L>FN18.1000 USB", "XX9XYZ-L>Time 14:05:09"}));
}

void TestSimulatedNode::userCommands_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("replies");
    const QString t = QStringLiteral("14:05:09 ");
    QTest::newRow("CV?") << t + "CV?" << QStringList{"XX9XYZ-L>Voice announcements OFF"};
    QTest::newRow("SR?") << t + "SR?" << QStringList{"XX9XYZ-L>Signal report S7"};
    QTest::newRow("CVSA? is not CV?") << t + "CVSA?" << QStringList{"XX9XYZ-L>Squelch active"};
    QTest::newRow("CVSD? is not CV?") << t + "CVSD?" << QStringList{"XX9XYZ-L>Squelch disabled"};
    QTest::newRow("CPA?") << t + "CPA?" << QStringList{"XX9XYZ-L>Preamp ON"};
    QTest::newRow("case-blind") << t + "cvsa?" << QStringList{"XX9XYZ-L>Squelch active"};
    QTest::newRow("glued to a word") << t + "XCV?" << QStringList{};
    QTest::newRow("without question mark") << t + "CV" << QStringList{};
}

void TestSimulatedNode::userCommands()
{
    QFETCH(QString, line);
    QFETCH(QStringList, replies);
    SimulatedNode node(kNode);
    const SimulatedNode::Answer a = node.hear(line, kNow);
    QCOMPARE(a.lines, replies);
    QVERIFY(!a.endTransmission);
    QCOMPARE(node.frequency(), QStringLiteral("14.2300"));
}

void TestSimulatedNode::switchesToggle()
{
    SimulatedNode node(kNode);
    QCOMPARE(node.hear("CV?", kNow).lines.value(0), QStringLiteral("XX9XYZ-L>Voice announcements OFF"));
    QCOMPARE(node.hear("CV?", kNow).lines.value(0), QStringLiteral("XX9XYZ-L>Voice announcements ON"));
    QCOMPARE(node.hear("CPA?", kNow).lines.value(0), QStringLiteral("XX9XYZ-L>Preamp ON"));
    QCOMPARE(node.hear("CPA?", kNow).lines.value(0), QStringLiteral("XX9XYZ-L>Preamp OFF"));
}

void TestSimulatedNode::endOfTransmission_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("ends");
    QTest::newRow("transmit request") << "14:05:09 CPT?" << true;
    QTest::newRow("trailing blank") << "14:05:09 CPT? " << true;
    QTest::newRow("alone") << "CPT?" << true;
    QTest::newRow("not at the end") << "CPT? please" << false;
    QTest::newRow("glued") << "14:05:09 XCPT?" << false;
}

void TestSimulatedNode::endOfTransmission()
{
    QFETCH(QString, line);
    QFETCH(bool, ends);
    SimulatedNode node(kNode);
    const SimulatedNode::Answer a = node.hear(line, kNow);
    QCOMPARE(a.endTransmission, ends);
    QVERIFY(a.lines.isEmpty());
}

QTEST_GUILESS_MAIN(TestSimulatedNode)
#include "test_simulatednode.moc"
