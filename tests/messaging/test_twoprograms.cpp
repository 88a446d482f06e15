// Two complete programs, each built through the composition root with its own callsign and
// settings folder, talking over one shared simulated link: private messages with their
// receipts, and a message for the other station's sysop.

#include "core/CoreTestKit.h"
#include "echolink/SimulatedLink.h"
#include "messaging/ChatWindow.h"
#include "messaging/SysopBox.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>

using namespace tavrin;
using namespace tavrin::test;

namespace {

const QString kCallA = QStringLiteral("XX1AAA-L");
const QString kCallB = QStringLiteral("XX2BBB-L");

struct Station {
    Station(SimulatedLink &link, const QString &call, const Clock &clock) : factory(link.factoryFor(call))
    {
        options.clientFactory = factory.get();
        options.settingsDir = dir.path();
        options.dialogs = &dialogs;
        options.clock = &clock;
        options.servers = closedLoopbackServers();
        program = std::make_unique<Program>(options);
    }

    template <class T>
    T *control(const char *window, const char *name)
    {
        T *found = program->registry().control<T>(QString::fromLatin1(window), QString::fromLatin1(name));
        if (!found)
            qWarning("no control %s.%s", window, name);
        return found;
    }
    QWidget *window(const char *name) { return program->registry().window(QString::fromLatin1(name)); }
    QString privateLog() { return control<QTextEdit>("Messages", "Text3")->toPlainText(); }

    QTemporaryDir dir;
    std::unique_ptr<EchoLinkClientFactory> factory;
    RecordingDialogs dialogs;
    ProgramOptions options;
    std::unique_ptr<Program> program;
};

void click(QPushButton *b) { QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center()); }

} // namespace

class TwoProgramsTest : public QObject {
    Q_OBJECT
private slots:
    void messagesTravelBetweenTwoPrograms()
    {
        ManualClock clock(QDateTime(QDate(2024, 5, 4), QTime(18, 42, 10)));
        SimulatedLink::Options linkOptions;
        linkOptions.clock = &clock;
        linkOptions.backgroundActivity = false;
        linkOptions.replyDelayMs = 100;
        SimulatedLink link(linkOptions);

        Station a(link, kCallA, clock);
        Station b(link, kCallB, clock);
        QVERIFY(a.program->start());
        QVERIFY(b.program->start());
        QVERIFY(a.window("Messages") && b.window("Messages") && b.window("Form126"));
        QVERIFY(!b.window("Messages")->isVisible());

        // A's private message reaches B: logged, panel opened, receipt sent back.
        a.control<QLineEdit>("Messages", "Text1")->setText(kCallB.toLower());
        a.control<QLineEdit>("Messages", "Text2")->setText(QStringLiteral("meet on 14.230"));
        click(a.control<QPushButton>("Messages", "Command2"));
        QCOMPARE(link.sentLines(kCallA).last(), QStringLiteral(":XX2BBB-L~meet on 14.230"));

        QTRY_VERIFY_WITH_TIMEOUT(b.privateLog().contains(QStringLiteral("meet on 14.230")), 5000);
        QCOMPARE(b.privateLog(), QStringLiteral("Message From <- XX1AAA-L> meet on 14.230\n"));
        QVERIFY(b.window("Messages")->isVisible());
        QCOMPARE(b.control<QPushButton>("Messages", "Command3")->text(), QStringLiteral("Hide Private Message"));
        QVERIFY(link.sentLines(kCallB).contains(QStringLiteral(":XX1AAA-L~ Message Received~")));

        // B's receipt reaches A and is not answered again.
        QTRY_VERIFY_WITH_TIMEOUT(a.privateLog().contains(QStringLiteral("Message Received~")), 5000);
        QVERIFY(a.privateLog().endsWith(QStringLiteral("Message From <- XX2BBB-L>  Message Received~\n")));
        const int sentByA = int(link.sentLines(kCallA).size());

        // A's sysop message shows in B's sysop box, and B's main window acknowledges it.
        a.control<QCheckBox>("Form126", "Check1")->setChecked(false);
        a.control<QLineEdit>("Form126", "Text2")->setText(QStringLiteral("xx2bbb"));
        a.control<QLineEdit>("Form126", "Text3")->setText(QStringLiteral("please call"));
        click(a.control<QPushButton>("Form126", "Command3"));
        QCOMPARE(link.sentLines(kCallA).last(), QStringLiteral("(18:42) >**XX2BBB** please call"));

        auto *bSysopLog = b.control<QPlainTextEdit>("Form126", "Text1");
        QTRY_VERIFY_WITH_TIMEOUT(bSysopLog->toPlainText().contains(QStringLiteral("**XX2BBB** please call")), 5000);
        QVERIFY(b.window("Form126")->isVisible());
        QVERIFY(bSysopLog->toPlainText().contains(QStringLiteral("XX1AAA-L>(18:42) >**XX2BBB** please call")));
        QVERIFY(link.sentLines(kCallB).contains(
            QStringLiteral(" Message has been received and left for the XX2BBB-L's Sysop")));
        // The acknowledgement is ordinary chat at A: no sysop box opens there.
        auto *aChat = a.control<QPlainTextEdit>("Messages", "RTB");
        QTRY_VERIFY_WITH_TIMEOUT(aChat->toPlainText().contains(QStringLiteral("left for the XX2BBB-L's Sysop")), 5000);
        QCOMPARE(int(link.sentLines(kCallA).size()), sentByA + 1);
        QVERIFY(!a.window("Form126")->isVisible());
        QVERIFY(a.dialogs.shown.isEmpty() && b.dialogs.shown.isEmpty());
    }
};

QTEST_MAIN(TwoProgramsTest)
#include "test_twoprograms.moc"
