#include "settings/NodeFavorites.h"
#include "support/FakeEchoLink.h"
#include "support/WindowShape.h"
#include "ui/WindowRegistry.h"

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace tavrin;
using tavrin::test::FakeEchoLinkBackend;

namespace {

// One favourites window on the fake client, loaded as the program loads it.
struct Fixture {
    explicit Fixture(const QString &dir, bool withClient = true) : store(dir), factory(backend.factory())
    {
        window = std::make_unique<NodeFavorites>(store, "Tavrin", "1.2.2");
        window->Form_Load(withClient ? factory->create() : nullptr);
    }
    QLineEdit *edit(int k) { return window->findChild<QLineEdit *>(QString("Text%1").arg(k)); }
    QPushButton *button(const QString &name) { return window->findChild<QPushButton *>(name); }
    void click(const QString &name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    QString status() { return window->findChild<QLabel *>("StatusLine")->text(); }
    QStringList operations() const
    {
        QStringList ops;
        for (const auto &c : backend.calls)
            if (c.operation != "StationCallsign")
                ops << c.operation + "(" + c.argument + ")";
        return ops;
    }

    FakeEchoLinkBackend backend;
    ProfileStore store;
    std::unique_ptr<EchoLinkClientFactory> factory;
    std::unique_ptr<NodeFavorites> window;
};

} // namespace

class TestFavorites : public QObject {
    Q_OBJECT
private slots:
    void layoutTitleAndDefaults();
    void titleWithoutCallsign();
    void toggleLinksThenUnlinks();
    void emptyRowAndConnectFailureDoNothing();
    void failuresShowInStatusLine();
    void disconnectAllAtOnce();
    void typedLettersBecomeCapitals();
    void saveRoundTripAndHideDropsUnsavedEdit();
    void closingEndsTheProgram();
    void builtOnFirstUseShowsRowsAndStatusAsTheyStand();
};

void TestFavorites::layoutTitleAndDefaults()
{
    QTemporaryDir dir;
    Fixture f(dir.path());
    QCOMPARE(f.window->objectName(), QString("Form25"));
    QCOMPARE(f.window->windowTitle(), QString("Tavrin  XX1TST-L  v1.2.2"));
    QCOMPARE(f.window->findChild<QGroupBox *>()->title(), QString("Node Favorites"));
    QCOMPARE(f.edit(1)->text(), QString("XX9XYZ-L"));
    for (int k = 2; k <= 10; ++k)
        QCOMPARE(f.edit(k)->text(), QString());
    for (int k = 1; k <= 10; ++k)
        QCOMPARE(f.button(QString("Command%1").arg(k))->text(), QString("Con/Disc"));
    QCOMPARE(f.button("DisconnectAll")->text(), QString("Disconnect All"));
    QCOMPARE(f.button("EndAndSave")->text(), QString("Hide"));
    QCOMPARE(f.button("SaveIt")->text(), QString("Save your Data"));
    QCOMPARE(f.status(), QString());
    QVERIFY(!QFile::exists(f.store.pathOf("NodeFavorites.ini")));
    QCOMPARE(NodeFavorites::writeKeys().last(), QString("TEXT10"));
    QCOMPARE(NodeFavorites::readKeys().first(), QString("Text1"));
}

void TestFavorites::titleWithoutCallsign()
{
    QTemporaryDir dir;
    {
        Fixture f(dir.path(), false);
        QCOMPARE(f.window->windowTitle(), QString("Tavrin  v1.2.2"));
        QCOMPARE(f.status(), QString("EchoLink client not running"));
        QCOMPARE(f.edit(1)->text(), QString("XX9XYZ-L")); // the file is still read
        f.click("Command1");
        QVERIFY(f.status().contains("XX9XYZ-L"));
        QVERIFY(f.window->isEnabled());
    }
    {
        FakeEchoLinkBackend backend;
        backend.failing << "StationCallsign";
        auto factory = backend.factory();
        ProfileStore store(dir.path());
        NodeFavorites window(store, "Tavrin", "1.2.2");
        window.Form_Load(factory->create());
        QCOMPARE(window.windowTitle(), QString("Tavrin  v1.2.2"));
    }
}

void TestFavorites::toggleLinksThenUnlinks()
{
    QTemporaryDir dir;
    Fixture f(dir.path());
    f.backend.clearCalls();
    f.click("Command1");
    QCOMPARE(f.operations(), QStringList({"IsConnected(XX9XYZ-L)", "Connect(XX9XYZ-L)"}));
    QCOMPARE(f.backend.callsOf("Connect").first().handle, 0); // the window's own handle

    // The client now reports the link.
    f.backend.connected << "XX9XYZ-L";

    f.backend.clearCalls();
    f.click("Command1");
    QCOMPARE(f.operations(), QStringList({"IsConnected(XX9XYZ-L)", "Disconnect(XX9XYZ-L)"}));

    // Another row acts on its own callsign only.
    f.edit(7)->setText("W1AW-R");
    f.backend.clearCalls();
    f.click("Command7");
    QCOMPARE(f.operations(), QStringList({"IsConnected(W1AW-R)", "Connect(W1AW-R)"}));
}

void TestFavorites::emptyRowAndConnectFailureDoNothing()
{
    QTemporaryDir dir;
    Fixture f(dir.path());
    f.backend.clearCalls();
    f.edit(2)->setText("   ");
    for (int k = 2; k <= 10; ++k)
        f.click(QString("Command%1").arg(k));
    QVERIFY(f.backend.calls.isEmpty());
    f.edit(3)->setText(" W1AW-R ");
    f.click("Command3");
    QCOMPARE(f.operations(), QStringList({"IsConnected(W1AW-R)", "Connect(W1AW-R)"}));
    f.backend.clearCalls();

    f.backend.failing << "Connect";
    f.click("Command1");
    QCOMPARE(f.operations(), QStringList({"IsConnected(XX9XYZ-L)", "Connect(XX9XYZ-L)"}));
    QVERIFY2(f.status().contains("XX9XYZ-L"), qPrintable(f.status())); // the operator hears why no link came up
}

void TestFavorites::failuresShowInStatusLine()
{
    QTemporaryDir dir;
    Fixture f(dir.path());
    f.backend.failing << "IsConnected";
    f.click("Command1");
    QVERIFY2(f.status().contains("XX9XYZ-L"), qPrintable(f.status()));
    QVERIFY(f.backend.callsOf("Connect").isEmpty()); // no guess after a failed question
    f.backend.failing.clear();

    // The next good press clears the old failure.
    f.click("Command1");
    QCOMPARE(f.status(), QString());

    f.backend.connected << "XX9XYZ-L";
    f.backend.failing << "Disconnect";
    f.click("Command1");
    QVERIFY(!f.status().isEmpty());
    QVERIFY(f.backend.callsOf("Connect").size() == 1); // a failed unlink does not relink
    f.backend.failing.clear();

    f.backend.failing << "DisconnectAll";
    f.click("DisconnectAll");
    QVERIFY2(f.status().contains("all links"), qPrintable(f.status()));
    QCOMPARE(f.edit(1)->text(), QString("XX9XYZ-L")); // fields untouched
}

void TestFavorites::disconnectAllAtOnce()
{
    QTemporaryDir dir;
    Fixture f(dir.path());
    f.backend.connected = {"A1", "B2"};
    f.backend.clearCalls();
    f.click("DisconnectAll");
    QCOMPARE(f.operations(), QStringList({"DisconnectAll()"}));
    QCOMPARE(f.status(), QString());
}

void TestFavorites::typedLettersBecomeCapitals()
{
    QTemporaryDir dir;
    Fixture f(dir.path());
    QLineEdit *e = f.edit(3);
    QTest::keyClicks(e, "w1aw-l");
    QCOMPARE(e->text(), QString("W1AW-L"));
    QCOMPARE(e->cursorPosition(), 6);

    // Typing in the middle keeps the cursor where the letter went.
    e->setCursorPosition(2);
    QTest::keyClicks(e, "x");
    QCOMPARE(e->text(), QString("W1XAW-L"));
    QCOMPARE(e->cursorPosition(), 3);
    QCOMPARE(f.window->callsign(3), QString("W1XAW-L"));
    // A letter whose capital is two letters moves the cursor past both.
    e->setCursorPosition(0);
    QTest::sendKeyEvent(QTest::Click, e, Qt::Key_unknown, QString::fromUtf8("\xC3\x9F"), Qt::NoModifier);
    QTest::keyClicks(e, "e");
    QCOMPARE(e->text(), QString("SSEW1XAW-L"));

    // Stored text comes back as stored: only typing upper-cases.
    QVERIFY(f.store.writeBatch("NodeFavorites.ini", {{"TEXT4", "lower-l"}}));
    f.window->reload();
    QCOMPARE(f.edit(4)->text(), QString("lower-l"));
}

void TestFavorites::saveRoundTripAndHideDropsUnsavedEdit()
{
    QTemporaryDir dir;
    QString shownRow9;
    {
        Fixture f(dir.path());
        f.edit(1)->clear();
        QTest::keyClicks(f.edit(10), "k1abc");
        f.edit(9)->insert("W1AW\r\nK2X"); // pasted with a line break: one row all the same
        shownRow9 = f.edit(9)->text();
        QVERIFY(!shownRow9.contains('\n'));
        f.click("SaveIt");
        QCOMPARE(f.status(), QString("Saved."));
        const QString file = QString::fromUtf8([&] {
            QFile in(f.store.pathOf("NodeFavorites.ini"));
            return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
        }());
        QVERIFY(file.contains("TEXT1="));
        QVERIFY(file.contains("TEXT10=K1ABC"));
        QVERIFY(file.indexOf("TEXT9=") < file.indexOf("TEXT10="));

        // Edit, hide: the edit is in use until the end, but never saved.
        f.window->show();
        QTest::keyClicks(f.edit(2), "n0ne");
        QCOMPARE(f.status(), QString()); // no "Saved." for it
        f.click("EndAndSave");
        QVERIFY(!f.window->isVisible());
        QCOMPARE(f.edit(2)->text(), QString("N0NE"));
    }
    {
        Fixture restarted(dir.path());
        QCOMPARE(restarted.edit(1)->text(), QString()); // cleared and saved stays empty
        QCOMPARE(restarted.edit(2)->text(), QString());
        QCOMPARE(restarted.edit(10)->text(), QString("K1ABC"));
        QCOMPARE(restarted.edit(9)->text(), shownRow9);

        // The title-bar button hides and drops unsaved edits.
        restarted.window->show();
        QTest::keyClicks(restarted.edit(5), "z");
        restarted.window->close();
        QVERIFY(!restarted.window->isVisible());
        QCOMPARE(restarted.edit(5)->text(), QString());
        QVERIFY(restarted.window->client()); // the handle lives on
    }
    {
        QFile blocker(dir.filePath("file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        Fixture f(dir.filePath("file/sub"));
        f.click("SaveIt");
        QVERIFY2(f.status().contains("NodeFavorites.ini"), qPrintable(f.status()));
    }
}

void TestFavorites::closingEndsTheProgram()
{
    QTemporaryDir dir;
    Fixture f(dir.path());
    QSignalSpy end(f.window.get(), &NodeFavorites::endProgramRequested);
    f.backend.raiseClosing();
    QCOMPARE(end.size(), 1);
}

void TestFavorites::builtOnFirstUseShowsRowsAndStatusAsTheyStand()
{
    QTemporaryDir dir;
    FakeEchoLinkBackend backend;
    ProfileStore store(dir.path());
    QVERIFY(store.writeBatch("NodeFavorites.ini", {{"TEXT2", "w1aw-r"}}));
    {
        // Loaded without a client: the file, the title and the status are all there unbuilt.
        NodeFavorites window(store, "Tavrin", "1.2.2", NodeFavorites::Fields::OnFirstUse);
        window.Form_Load(nullptr);
        QVERIFY(!window.findChild<QLineEdit *>());
        QCOMPARE(window.windowTitle(), QString("Tavrin  v1.2.2"));
        QCOMPARE(window.callsign(1), QString("XX9XYZ-L"));
        QCOMPARE(window.callsign(2), QString("w1aw-r"));
        window.show();
        QCOMPARE(window.findChild<QLineEdit *>("Text2")->text(), QString("w1aw-r"));
        QCOMPARE(window.findChild<QLabel *>("StatusLine")->text(), QString("EchoLink client not running"));
        QTest::keyClicks(window.findChild<QLineEdit *>("Text3"), "k1abc");
        QCOMPARE(window.callsign(3), QString("K1ABC"));

        NodeFavorites eager(store, "Tavrin", "1.2.2");
        eager.Form_Load(nullptr);
        eager.show();
        QCOMPARE(test::windowShape(window), test::windowShape(eager));
    }
    // Saved before the controls exist: the rows as read, a reload dropping nothing.
    auto factory = backend.factory();
    NodeFavorites window(store, "Tavrin", "1.2.2", NodeFavorites::Fields::OnFirstUse);
    window.Form_Load(factory->create());
    QVERIFY(store.writeBatch("NodeFavorites.ini", {{"TEXT10", "xx0zzz"}}));
    window.reload();
    QVERIFY(window.SaveData());
    QCOMPARE(store.ReadSetting("NodeFavorites.ini", "Text2", "d"), QString("w1aw-r"));
    QCOMPARE(store.ReadSetting("NodeFavorites.ini", "Text10", "d"), QString("xx0zzz"));
    QVERIFY(!window.findChild<QLineEdit *>());
    // Looked up by name, as scenarios do: built with what it holds, and the rows still act.
    WindowRegistry registry;
    registry.add(&window);
    QCOMPARE(registry.control<QLineEdit>("Form25", "Text10")->text(), QString("xx0zzz"));
    QCOMPARE(registry.control<QLabel>("Form25", "StatusLine")->text(), QString("Saved."));
    backend.clearCalls();
    QTest::mouseClick(registry.control<QPushButton>("Form25", "Command2"), Qt::LeftButton);
    QCOMPARE(backend.callsOf("Connect").size(), 1);
    QCOMPARE(backend.callsOf("Connect").first().argument, QString("w1aw-r"));
}

QTEST_MAIN(TestFavorites)
#include "test_favorites.moc"
