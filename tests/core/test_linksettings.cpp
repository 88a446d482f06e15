#include "CoreTestKit.h"

#include "settings/FormLink.h"
#include "app/LinkChoice.h"
#include "app/NativeLinkRunner.h"
#include "settings/LinkSettings.h"
#include "support/FakeDirectory.h"
#include "support/FakePasswordVault.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QUdpSocket>
#include <QtTest>

using namespace tavrin;
using tavrin::link::FormLink;
using tavrin::test::FakePasswordVault;

namespace {

constexpr char kFile[] = "TVRlink.ini";

// The real keychain class is tried against a session bus that does not exist, before any part
// of the toolkit opens one: never the keychain of the desktop running the tests.
const bool kNoSessionBus = qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tavrin-test-bus");

// One Link Settings window on a temporary directory and the fake keychain.
struct Fixture {
    Fixture() : store(dir.path()) {}
    FormLink &window()
    {
        if (!form)
            form = std::make_unique<FormLink>(store, vault);
        return *form;
    }
    template <class T>
    T *find(const char *name) { return window().findChild<T *>(QString::fromLatin1(name)); }
    QLineEdit *edit(const char *name) { return find<QLineEdit>(name); }
    void type(const char *name, const QString &text)
    {
        edit(name)->clear();
        QTest::keyClicks(edit(name), text);
    }
    void save() { QTest::mouseClick(find<QPushButton>("Save"), Qt::LeftButton); }
    QString status() { return find<QLabel>("StatusLine")->text(); }
    QString file() const { return test::readFile(store.pathOf(kFile)); }

    QTemporaryDir dir;
    ProfileStore store;
    FakePasswordVault vault;
    std::unique_ptr<FormLink> form;
};

} // namespace

class TestLinkSettings : public QObject {
    Q_OBJECT
private slots:
    void fileRoundTrip();
    void badValuesTakeTheDefault();
    void simulatedUnlessEchoLinkWithCallsign();
    void windowShowsTheFile();
    void saveRefusesBadInput();
    void saveWritesFileAndKeychainButNeverThePassword();
    void emptyPasswordLeavesTheStoredOneAlone();
    void keychainWithoutServiceOrFailing();
    void closingDropsUnsavedEdits();
    void missingSoundDeviceIsKept();
    void setupMenuOpensTheWindow();
    void programBuildsTheFieldsOnFirstUse();
    void nativeRunnerAsksTheKeychainOrSaysWhy();
    void desktopKeychainWithoutServiceSaysSo();
};

void TestLinkSettings::fileRoundTrip()
{
    QTemporaryDir dir;
    ProfileStore store(dir.path());

    const LinkSettings none = LinkSettings::load(store);
    QCOMPARE(none.backend, LinkSettings::Backend::Simulated);
    QCOMPARE(none.callsign, QString());
    QCOMPARE(none.directoryServers, QStringList({"servers.echolink.org", "backup.echolink.org"}));
    QCOMPARE(none.portBase, 5198);
    QVERIFY(!QFile::exists(store.pathOf(kFile)));

    LinkSettings s;
    s.backend = LinkSettings::Backend::EchoLink;
    s.callsign = "xx1abc-l";
    s.name = "Anna Maria";
    s.location = "Hilltop, grid JO40";
    s.directoryServers = {"dir.example.org:5300", "10.0.0.7"};
    s.portBase = 15198;
    s.audioInput = "alsa_input.usb-mic";
    s.audioOutput = "alsa_output.speakers";
    QVERIFY(s.save(store));

    const LinkSettings back = LinkSettings::load(store);
    QCOMPARE(back.backend, LinkSettings::Backend::EchoLink);
    QCOMPARE(back.callsign, QString("XX1ABC-L"));
    QCOMPARE(back.name, s.name);
    QCOMPARE(back.location, s.location);
    QCOMPARE(back.directoryServers, s.directoryServers);
    QCOMPARE(back.portBase, 15198);
    QCOMPARE(back.audioInput, s.audioInput);
    QCOMPARE(back.audioOutput, s.audioOutput);
    QVERIFY(back.usesNativeLink());

    // The bind address is only ever written by hand: it is read, and a save leaves it alone.
    QVERIFY(store.WriteSetting(kFile, "BindAddress", " 127.0.0.9 "));
    QVERIFY(s.save(store));
    QCOMPARE(LinkSettings::load(store).bindAddress, QString("127.0.0.9"));
}

void TestLinkSettings::badValuesTakeTheDefault()
{
    QTemporaryDir dir;
    ProfileStore store(dir.path());
    const auto loadWith = [&](const QString &key, const QString &value) {
        store.WriteSetting(kFile, key, value);
        return LinkSettings::load(store);
    };

    QCOMPARE(loadWith("Backend", "echolink").backend, LinkSettings::Backend::EchoLink); // case-blind
    QCOMPARE(loadWith("Backend", "Satellite").backend, LinkSettings::Backend::Simulated);
    QCOMPARE(loadWith("Backend", "").backend, LinkSettings::Backend::Simulated);

    for (const char *bad : {"80", "1023", "65535", "-5198", "51x98", "", "99999999999"})
        QCOMPARE(loadWith("PortBase", bad).portBase, 5198);
    QCOMPARE(loadWith("PortBase", "1024").portBase, 1024);
    QCOMPARE(loadWith("PortBase", "65534").portBase, 65534);

    QCOMPARE(loadWith("Callsign", "N0 CALL").callsign, QString());
    QCOMPARE(loadWith("Callsign", "N0CALL;rm").callsign, QString());
    QCOMPARE(loadWith("Callsign", "n0call-l").callsign, QString("N0CALL-L"));

    const QStringList defaults = LinkSettings::defaultDirectoryServers();
    QCOMPARE(loadWith("Servers", "good.example.org, bad host").directoryServers, defaults);
    QCOMPARE(loadWith("Servers", "dir.example.org:99999").directoryServers, defaults);
    QCOMPARE(loadWith("Servers", " , ").directoryServers, defaults);
    QCOMPARE(loadWith("Servers", " a.example.org:5300 ,, b.example.org ").directoryServers,
             QStringList({"a.example.org:5300", "b.example.org"}));

    // What could not be used is said, naming the file and each value as written.
    store.WriteSetting(kFile, "Backend", "Satellite");
    store.WriteSetting(kFile, "PortBase", "51x98");
    const QString problem = loadWith("Callsign", "N0 CALL").problem;
    for (const char *said : {"TVRlink.ini", "Backend \"Satellite\"", "Callsign \"N0 CALL\"", "PortBase \"51x98\""})
        QVERIFY2(problem.contains(QLatin1String(said)), qPrintable(problem));
    QVERIFY(!problem.contains(QLatin1String("Servers")));
    store.WriteSetting(kFile, "Backend", "Simulated");
    store.WriteSetting(kFile, "Callsign", "");
    QVERIFY(loadWith("PortBase", "").problem.isEmpty());
}

void TestLinkSettings::simulatedUnlessEchoLinkWithCallsign()
{
    using link::Backend;
    LinkSettings s;
    QCOMPARE(link::chooseBackend(s, true), Backend::Simulated);
    s.callsign = "XX1ABC-L";
    QCOMPARE(link::chooseBackend(s, true), Backend::Simulated); // chosen: simulated
    s.backend = LinkSettings::Backend::EchoLink;
    QCOMPARE(link::chooseBackend(s, true), Backend::Native);
    QCOMPARE(link::chooseBackend(s, false), Backend::Simulated); // build without the native link
    s.callsign = "   ";
    QCOMPARE(link::chooseBackend(s, true), Backend::Simulated);

#ifdef TAVRIN_HAVE_NATIVE_LINK
    s.callsign = "xx1abc-l";
    s.portBase = 15198;
    s.directoryServers = {"127.0.0.3:15200"};
    s.audioInput = "rxmic";
    const NativeLinkOptions o = link::nativeLinkOptions(s);
    QCOMPARE(o.callsign, QString("XX1ABC-L"));
    QCOMPARE(o.portBase, 15198);
    QCOMPARE(o.directoryServers, s.directoryServers);
    QCOMPARE(o.audioInput, QString("rxmic"));
    QCOMPARE(o.password, QString()); // only ever from the keychain
#endif
}

void TestLinkSettings::windowShowsTheFile()
{
    Fixture f;
    f.store.writeBatch(kFile, {{"Backend", "EchoLink"}, {"Callsign", "XX1ABC-L"}, {"Name", "Anna"},
                               {"Location", "Hilltop"}, {"Servers", "a.example.org,b.example.org:5300"},
                               {"PortBase", "15198"}});
    FormLink &w = f.window();
    QCOMPARE(w.objectName(), QString("FormLink"));
    QCOMPARE(w.windowTitle(), QString("Link Settings"));
    QVERIFY(f.find<QRadioButton>("BackendEchoLink")->isChecked());
    QVERIFY(!f.find<QRadioButton>("BackendSimulated")->isChecked());
    QCOMPARE(f.edit("Callsign")->text(), QString("XX1ABC-L"));
    QCOMPARE(f.edit("OperatorName")->text(), QString("Anna"));
    QCOMPARE(f.edit("Location")->text(), QString("Hilltop"));
    QCOMPARE(f.edit("Servers")->text(), QString("a.example.org, b.example.org:5300"));
    QCOMPARE(f.edit("PortBase")->text(), QString("15198"));
    QCOMPARE(f.edit("Password")->text(), QString());
    QCOMPARE(f.edit("Password")->echoMode(), QLineEdit::Password);
    for (const char *combo : {"AudioInput", "AudioOutput"}) {
        QCOMPARE(f.find<QComboBox>(combo)->itemText(0), QString("Default"));
        QCOMPARE(f.find<QComboBox>(combo)->currentIndex(), 0);
    }
    QVERIFY(f.vault.requests.isEmpty()); // the window never reads the password back

    if (qEnvironmentVariableIsSet("TAVRIN_FORMLINK_PNG")) {
        f.vault.mode = FakePasswordVault::Mode::NoService;
        f.edit("Password")->setText("secret");
        QVERIFY(w.SaveData());
        QTRY_VERIFY(f.status().contains("can't be stored"));
        w.adjustSize();
        w.grab().save(qEnvironmentVariable("TAVRIN_FORMLINK_PNG"));
    }
}

void TestLinkSettings::saveRefusesBadInput()
{
    Fixture f;
    f.window();
    f.find<QRadioButton>("BackendEchoLink")->setChecked(true);
    f.save();
    QCOMPARE(f.status(), QString("The EchoLink link needs a callsign."));

    f.type("Callsign", "XX1ABC L");
    f.save();
    QVERIFY(f.status().startsWith("A callsign has only"));
    f.type("Callsign", "XX1ABCDEFGHIJKL-L"); // one letter too many: the message says so
    f.save();
    QVERIFY(f.status().endsWith("at most 16 of them."));

    f.type("Callsign", "xx1abc-l");
    QCOMPARE(f.edit("Callsign")->text(), QString("XX1ABC-L")); // capitals as typed
    for (const char *bad : {"1023", "65535", "port", ""}) {
        f.type("PortBase", bad);
        f.save();
        QCOMPARE(f.status(), QString("The port base must be a number from 1024 to 65534."));
    }
    f.type("PortBase", "15198");
    f.type("Servers", "dir.example.org, not a host");
    f.save();
    QVERIFY(f.status().startsWith("Directory servers:"));

    f.type("Servers", "");
    f.find<QRadioButton>("BackendSimulated")->setChecked(true);
    f.type("Callsign", "");
    f.type("Password", "secret");
    f.save();
    QVERIFY(f.status().contains("enter the callsign first"));

    QVERIFY(!QFile::exists(f.store.pathOf(kFile)));
    QVERIFY(f.vault.requests.isEmpty());

    // Simulated needs no callsign; an empty server list means the defaults.
    f.type("Password", "");
    QVERIFY(f.window().SaveData());
    QCOMPARE(LinkSettings::load(f.store).directoryServers, LinkSettings::defaultDirectoryServers());
    QCOMPARE(f.edit("Servers")->text(), QString("servers.echolink.org, backup.echolink.org"));
}

void TestLinkSettings::saveWritesFileAndKeychainButNeverThePassword()
{
    Fixture f;
    f.window();
    f.find<QRadioButton>("BackendEchoLink")->setChecked(true);
    f.type("Callsign", "xx1abc-l");
    f.type("Password", "Pa55-word");
    f.type("OperatorName", "Anna");
    f.type("PortBase", "15198");
    f.save();
    QVERIFY(f.status().startsWith("Saved"));

    const LinkSettings s = LinkSettings::load(f.store);
    QCOMPARE(s.backend, LinkSettings::Backend::EchoLink);
    QCOMPARE(s.callsign, QString("XX1ABC-L"));
    QCOMPARE(s.name, QString("Anna"));
    QCOMPARE(s.portBase, 15198);
    QVERIFY(!f.file().contains("Pa55-word"));
    QVERIFY(!f.file().contains("password", Qt::CaseInsensitive));

    QCOMPARE(f.vault.requests, QStringList({"write XX1ABC-L"}));
    QTRY_COMPARE(f.vault.stored.value("XX1ABC-L"), QString("Pa55-word"));
    QTRY_VERIFY(f.status().contains("password stored in the keychain"));
    QVERIFY(f.status().contains("takes effect at the next start"));
    QCOMPARE(f.edit("Password")->text(), QString()); // not left lying in the window
}

void TestLinkSettings::emptyPasswordLeavesTheStoredOneAlone()
{
    Fixture f;
    f.vault.stored.insert("XX1ABC-L", "old");
    f.store.writeBatch(kFile, {{"Backend", "EchoLink"}, {"Callsign", "XX1ABC-L"}});
    f.window();
    f.type("Location", "Valley");
    f.save();
    QCOMPARE(f.status(), QString("Saved. A change of backend takes effect at the next start."));
    QCOMPARE(LinkSettings::load(f.store).location, QString("Valley"));
    QTest::qWait(20);
    QVERIFY(f.vault.requests.isEmpty());
    QCOMPARE(f.vault.stored.value("XX1ABC-L"), QString("old"));
}

void TestLinkSettings::keychainWithoutServiceOrFailing()
{
    Fixture f;
    f.vault.mode = FakePasswordVault::Mode::NoService;
    f.window();
    f.find<QRadioButton>("BackendEchoLink")->setChecked(true);
    f.type("Callsign", "XX1ABC-L");
    f.type("Password", "secret");
    f.type("OperatorName", "Anna");
    f.save();
    QTRY_VERIFY(f.status().contains("the password can't be stored"));
    // Everything else is saved, and the password still goes nowhere else.
    QCOMPARE(LinkSettings::load(f.store).name, QString("Anna"));
    QCOMPARE(LinkSettings::load(f.store).backend, LinkSettings::Backend::EchoLink);
    QVERIFY(!f.file().contains("secret"));

    f.vault.mode = FakePasswordVault::Mode::Failing;
    f.type("Password", "secret");
    f.save();
    QTRY_COMPARE(f.status(), QString("Saved, but the password could not be stored: The keychain refused access"));
    QCOMPARE(f.edit("Password")->text(), QString("secret")); // kept for another try

    // An answer for a save that was superseded does not overwrite the newer status.
    f.vault.mode = FakePasswordVault::Mode::NoService;
    f.save();
    f.type("Password", "");
    f.save();
    QTest::qWait(20);
    QCOMPARE(f.status(), QString("Saved. A change of backend takes effect at the next start."));
}

void TestLinkSettings::closingDropsUnsavedEdits()
{
    Fixture f;
    f.store.writeBatch(kFile, {{"Callsign", "XX1ABC-L"}});
    FormLink &w = f.window();
    w.show();
    f.type("Callsign", "XX9ZZZ-L");
    f.type("Password", "typed");
    f.find<QRadioButton>("BackendEchoLink")->setChecked(true);
    w.close();
    QVERIFY(!w.isVisible());
    QCOMPARE(f.edit("Callsign")->text(), QString("XX1ABC-L"));
    QCOMPARE(f.edit("Password")->text(), QString());
    QVERIFY(f.find<QRadioButton>("BackendSimulated")->isChecked());

    w.show();
    f.type("Location", "Valley");
    QTest::mouseClick(f.find<QPushButton>("Cancel"), Qt::LeftButton);
    QVERIFY(!w.isVisible());
    QCOMPARE(f.edit("Location")->text(), QString());
    QVERIFY(f.vault.requests.isEmpty());
}

void TestLinkSettings::missingSoundDeviceIsKept()
{
    Fixture f;
    f.store.writeBatch(kFile, {{"AudioInput", "usb-mic-unplugged"}});
    // The devices are listed once the window shows and the sound server has answered.
    f.window().show();
    QComboBox *input = f.find<QComboBox>("AudioInput");
    QTRY_COMPARE_WITH_TIMEOUT(input->currentText(), QString("usb-mic-unplugged (not present)"), 20000);
    QVERIFY(f.window().SaveData());
    QCOMPARE(LinkSettings::load(f.store).audioInput, QString("usb-mic-unplugged"));
    input->setCurrentIndex(0);
    QVERIFY(f.window().SaveData());
    QCOMPARE(LinkSettings::load(f.store).audioInput, QString());
}

void TestLinkSettings::setupMenuOpensTheWindow()
{
    QTemporaryDir dir;
    test::Rig rig(dir.path());
    FakePasswordVault vault;
    rig.options.passwordVault = &vault;
    QVERIFY(rig.start());

    const QList<QAction *> setup = rig.find<QMenu>("SetupMenu")->actions();
    QCOMPARE(setup.last()->objectName(), QString("LinkSettings"));
    QCOMPARE(setup.last()->text(), QString("Link Settings"));

    auto *form = rig.program().registry().get<FormLink>("FormLink");
    QVERIFY(form);
    QVERIFY(!form->isVisible());
    rig.trigger("LinkSettings");
    QVERIFY(form->isVisible());

    // The window uses the program's keychain.
    form->findChild<QLineEdit *>("Callsign")->setText("XX1ABC-L");
    form->findChild<QLineEdit *>("Password")->setText("pw");
    QVERIFY(form->SaveData());
    QCOMPARE(vault.requests, QStringList({"write XX1ABC-L"}));
}

void TestLinkSettings::programBuildsTheFieldsOnFirstUse()
{
    QTemporaryDir dir;
    test::Rig rig(dir.path());
    FakePasswordVault vault;
    rig.options.passwordVault = &vault;
    ProfileStore store(dir.path());
    QVERIFY(store.writeBatch(kFile, {{"Backend", "EchoLink"}, {"Callsign", "XX1ABC-L"},
                                     {"AudioInput", "usb-mic-unplugged"}}));
    QVERIFY(rig.start());
    auto *form = rig.program().registry().get<FormLink>("FormLink");
    QVERIFY(form);
    QVERIFY(!form->findChild<QLineEdit *>("Callsign"));

    // Read at start as ever: a later change of the file shows only after a close re-reads it.
    QVERIFY(store.writeBatch(kFile, {{"Callsign", "XX2DEF-L"}}));
    auto *callsign = rig.program().registry().control<QLineEdit>("FormLink", "Callsign");
    QVERIFY(callsign);
    QCOMPARE(callsign->text(), QString("XX1ABC-L"));
    QVERIFY(form->findChild<QRadioButton *>("BackendEchoLink")->isChecked());
    auto *input = form->findChild<QComboBox *>("AudioInput");
    QCOMPARE(input->currentText(), QString("usb-mic-unplugged")); // devices are listed on show
    rig.trigger("LinkSettings");
    QVERIFY(form->isVisible());
    QCOMPARE(input->currentText(), QString("usb-mic-unplugged (not present)"));
    QTest::mouseClick(form->findChild<QPushButton *>("Cancel"), Qt::LeftButton);
    QCOMPARE(callsign->text(), QString("XX2DEF-L"));

    // Saving before the fields were ever looked at keeps what was read.
    QTemporaryDir other;
    test::Rig second(other.path());
    second.options.passwordVault = &vault;
    QVERIFY(ProfileStore(other.path()).writeBatch(kFile, {{"Callsign", "XX3GHI-L"}, {"PortBase", "15198"}}));
    QVERIFY(second.start());
    auto *unbuilt = second.program().registry().get<FormLink>("FormLink");
    QVERIFY(!unbuilt->findChild<QLineEdit *>("Callsign"));
    QVERIFY(unbuilt->SaveData());
    const LinkSettings saved = LinkSettings::load(ProfileStore(other.path()));
    QCOMPARE(saved.callsign, QString("XX3GHI-L"));
    QCOMPARE(saved.portBase, 15198);
}

void TestLinkSettings::nativeRunnerAsksTheKeychainOrSaysWhy()
{
#ifdef TAVRIN_HAVE_NATIVE_LINK
    LinkSettings s;
    s.backend = LinkSettings::Backend::EchoLink;
    s.callsign = "xx1abc-l";
    s.directoryServers = {"127.0.0.1:1"}; // nothing answers there
    s.portBase = 15498;
    s.audioInput = s.audioOutput = "none";

    const auto run = [&](FakePasswordVault &vault, QStringList &said) {
        auto runner = std::make_unique<link::NativeLinkRunner>(s, vault);
        runner->setStatusSink([&said](const QString &text) { said << text; });
        const bool started = runner->start();
        return std::make_pair(started, std::move(runner));
    };

    {
        FakePasswordVault vault;
        vault.stored.insert("XX1ABC-L", "pw");
        QStringList said;
        auto [started, runner] = run(vault, said);
        QVERIFY2(started, qPrintable(runner->failureText()));
        QCOMPARE(vault.requests, QStringList({"read XX1ABC-L"}));
        QTest::qWait(20);
        QVERIFY(!said.join('\n').contains("keychain"));
    }
    {
        FakePasswordVault vault;
        QStringList said;
        auto [started, runner] = run(vault, said);
        QVERIFY(started);
        QTRY_VERIFY(said.join('\n').contains("No password stored for XX1ABC-L"));
    }
    {
        FakePasswordVault vault;
        vault.mode = FakePasswordVault::Mode::NoService;
        QStringList said;
        auto [started, runner] = run(vault, said);
        QVERIFY(started);
        QTRY_VERIFY(said.join('\n').contains("No keychain service"));
    }
    {
        // At the end of the run the station takes itself off the directory's list.
        test::FakeDirectory directory;
        QVERIFY2(directory.listen(QHostAddress("127.0.0.3"), 0), qPrintable(directory.errorString()));
        LinkSettings online = s;
        online.directoryServers = {directory.server()};
        FakePasswordVault vault;
        vault.stored.insert("XX1ABC-L", "pw");
        link::NativeLinkRunner runner(online, vault);
        QVERIFY(runner.start());
        QTRY_VERIFY(!directory.logins().isEmpty());
        QVERIFY(directory.logins().last().status.startsWith("ONLINE"));
        runner.finish(3000);
        QCOMPARE(directory.logins().size(), 2);
        QVERIFY(directory.logins().last().status.startsWith("OFF"));
    }
    {
        // A port in use: the station says why and never asks for the password.
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress::AnyIPv4, quint16(s.portBase + 1)));
        FakePasswordVault vault;
        QStringList said;
        auto [started, runner] = run(vault, said);
        QVERIFY(!started);
        QVERIFY(!runner->failureText().isEmpty());
        QVERIFY(vault.requests.isEmpty());
    }
#else
    QSKIP("built without the native link");
#endif
}

void TestLinkSettings::desktopKeychainWithoutServiceSaysSo()
{
    QVERIFY(kNoSessionBus);
    const std::unique_ptr<PasswordVault> vault = makeDesktopPasswordVault();
    QList<PasswordVault::Result> answers;
    const auto collect = [&answers](const PasswordVault::Result &r) { answers.append(r); };
    vault->write("XX1ABC-L", "pw", collect);
    vault->read("XX1ABC-L", collect);
    QTRY_COMPARE(answers.size(), 2);
    QTest::qWait(20);
    QCOMPARE(answers.size(), 2); // one answer per request
    for (const PasswordVault::Result &r : answers) {
        QVERIFY(!r.ok);
        QVERIFY2(r.noService, qPrintable(r.error));
        QVERIFY(!r.error.isEmpty());
        QCOMPARE(r.password, QString());
    }
}

QTEST_MAIN(TestLinkSettings)
#include "test_linksettings.moc"
