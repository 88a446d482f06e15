// The About window Form14 and the prompt Form150 in the whole program: the start-up check
// against a local server, the timers, the program directory and its questions, handing over
// to the updater, the backup, and the main window's use of the program directory.
#include "../core/CoreTestKit.h"

#include "common/Installation.h"
#include "common/PlatformNames.h"
#include "maintenance/AboutWindow.h"
#include "maintenance/UpdatePrompt.h"

#include "BuildConfig.h"

#include <QAccessible>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QUrlQuery>

using namespace tavrin;
using namespace tavrin::test;
using maintenance::AboutWindow;
using maintenance::UpdatePrompt;

namespace {

const QString kVersion = QStringLiteral("%1.%2.%3").arg(TAVRIN_VERSION_MAJOR).arg(TAVRIN_VERSION_MINOR).arg(TAVRIN_VERSION_REVISION);
const QByteArray kVersionPath = "/tavrin/VersionTV.txt";

struct FakeStarter final : maintenance::ProgramStarter {
    bool succeed = true;
    QList<QPair<QString, QStringList>> started;
    bool startDetached(const QString &program, const QStringList &arguments) override
    {
        started.append({program, arguments});
        return succeed;
    }
};

struct FakeOpener final : maintenance::UrlOpener {
    QList<QUrl> opened;
    bool works = true; // false: no browser or mail program
    bool openUrl(const QUrl &url) override
    {
        opened.append(url);
        return works;
    }
};

// The whole program with its version file on a local server, a short transfer time-out and
// launchers that start nothing.
struct AboutRig : Rig {
    LocalHttpServer server;
    FakeStarter starter;
    FakeOpener opener;

    explicit AboutRig(const QString &dir, int timeoutMs = 5000) : Rig(dir)
    {
        options.servers.versionFileUrl = server.url(QString::fromLatin1(kVersionPath));
        options.transferTimeoutMs = timeoutMs;
    }
    bool startWith(const QByteArray &versionFile)
    {
        server.setBody(kVersionPath, versionFile);
        return startPlain();
    }
    bool startPlain()
    {
        if (!start())
            return false;
        about()->setProgramStarter(&starter);
        about()->setUrlOpener(&opener);
        return true;
    }
    AboutWindow *about() { return program().registry().get<AboutWindow>(QStringLiteral("Form14")); }
    // Through the registry, which builds the controls first, as the scenario runner does.
    template <class T>
    T *in(const char *name) { return program().registry().control<T>(QStringLiteral("Form14"), QString::fromLatin1(name)); }
    // The fetch made at load has ended once Timer1 runs.
    bool waitForFetch() { return QTest::qWaitFor([this] { return about()->timer(1)->isActive(); }, 5000); }
    QString storedDir() { return program().store().ReadSetting("TVRDir.ini", "ProgDir", "<none>"); }
};

void click(QWidget *w) { QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center()); }

} // namespace

class AboutWindowTest : public QObject {
    Q_OBJECT
private slots:
    void loadsHiddenWithEveryControl()
    {
        QTemporaryDir dir;
        AboutRig rig(dir.path());
        QVERIFY(rig.startWith("1.2.2"));
        AboutWindow *about = rig.about();
        QVERIFY(about);
        QVERIFY(!about->isVisible());

        const QString title = QStringLiteral("Tavrin    XX1TST-L   v") + kVersion;
        QCOMPARE(about->windowTitle(), title);
        QCOMPARE(rig.in<QLabel>("Label6")->text(), title);
        QCOMPARE(rig.in<QPushButton>("Command24")->text(), QStringLiteral("Check For Update"));
        QCOMPARE(rig.in<QPushButton>("Command5")->text(),
                 QStringLiteral("Update Available          Click Here To Update"));
        QCOMPARE(rig.in<QPushButton>("Command8")->text(), QStringLiteral("Default"));
        QCOMPARE(rig.in<QPushButton>("Command4")->text(), QStringLiteral("64 bit Default"));
        QCOMPARE(rig.in<QPushButton>("Command1")->text(), QStringLiteral("Hide"));
        QCOMPARE(rig.in<QPushButton>("Command7")->text(), QStringLiteral("Backup And Save Your Config .ini Files"));
        QCOMPARE(rig.in<QPushButton>("Command6")->text(), QStringLiteral("Help && Downloads"));
        QCOMPARE(rig.in<QPushButton>("Command3")->toolTip(), QStringLiteral("Send me an email"));
        QCOMPARE(rig.in<QLineEdit>("ProgDir")->toolTip(), QStringLiteral("Location where the program is installed"));
        QCOMPARE(rig.in<QLineEdit>("ProgDir")->text(), platform::defaultProgramDirectory());
        QCOMPARE(rig.in<QLineEdit>("FileOnNet")->text(), rig.server.url(QString::fromLatin1(kVersionPath)));
        QVERIFY(rig.in<QPushButton>("Command5")->isHidden());
        QVERIFY(rig.in<QLineEdit>("NetText")->isHidden());

        // Timer2 counts from creation; the other two wait for the fetch.
        QVERIFY(about->timer(2)->isActive());
        QCOMPARE(about->timer(1)->interval(), 1000);
        QCOMPARE(about->timer(2)->interval(), 10000);
        QCOMPARE(about->timer(3)->interval(), 3000);
        QVERIFY(!about->timer(3)->isActive());
        QVERIFY(rig.waitForFetch());
        QVERIFY(about->timer(3)->isActive());

        // The menu entry shows it.
        rig.trigger("HelpAbout");
        QVERIFY(about->isVisible());
    }

    void writesBeforeTheControlsAreBuiltShowOnceTheyAre()
    {
        QTemporaryDir dir;
        AboutRig rig(dir.path());
        QVERIFY(ProfileStore(dir.path()).WriteSetting("TVRDir.ini", "ProgDir", "/srv/t/"));
        QVERIFY(rig.startWith(kVersion.toLatin1() + "\n"));
        AboutWindow *about = rig.about();
        QVERIFY(!about->findChild<QLineEdit *>(QStringLiteral("ProgDir")));
        QVERIFY(rig.waitForFetch());
        about->Timer1_Timer();
        QCOMPARE(about->programDirectory(), QStringLiteral("/srv/t/"));

        rig.trigger("HelpAbout");
        QVERIFY(about->isVisible());
        QVERIFY(about->findChild<QPushButton *>(QStringLiteral("Command5"))->isVisible());
        QCOMPARE(about->findChild<QLineEdit *>(QStringLiteral("ProgDir"))->text(), QStringLiteral("/srv/t/"));
        QCOMPARE(about->findChild<QLineEdit *>(QStringLiteral("NetText"))->text(), kVersion + "\n");
        QCOMPARE(about->findChild<QLabel *>(QStringLiteral("Label6"))->text(), about->windowTitle());
    }

    void sameVersionMeansNoUpdate()
    {
        QTemporaryDir dir;
        AboutRig rig(dir.path());
        QVERIFY(rig.startWith(kVersion.toLatin1()));
        AboutWindow *about = rig.about();
        QVERIFY(rig.waitForFetch());
        QCOMPARE(about->netText(), kVersion);

        about->Timer1_Timer();
        QVERIFY(!about->timer(1)->isActive());
        QVERIFY(rig.in<QPushButton>("Command5")->isHidden());
        QCOMPARE(rig.in<QLabel>("Label5")->text(), QStringLiteral("No Update Available"));
        about->Timer3_Timer();
        QVERIFY(!about->timer(3)->isActive());
        QVERIFY(!about->prompt());
        QCOMPARE(about->netText(), QString());
        about->Timer2_Timer();
        QCOMPARE(rig.in<QLabel>("Label5")->text(), QString());
        QVERIFY(!about->timer(2)->isActive());
    }

    void anotherVersionOffersTheUpdate()
    {
        QTemporaryDir dir;
        AboutRig rig(dir.path());
        // The version text followed by a line break is another text.
        QVERIFY(rig.startWith(kVersion.toLatin1() + "\n"));
        AboutWindow *about = rig.about();
        QVERIFY(rig.waitForFetch());

        about->Timer1_Timer();
        QVERIFY(!rig.in<QPushButton>("Command5")->isHidden());
        QCOMPARE(rig.in<QLabel>("Label5")->text(), QString());
        about->Timer3_Timer();
        UpdatePrompt *prompt = about->prompt();
        QVERIFY(prompt);
        QVERIFY(prompt->isVisible());
        QCOMPARE(prompt->windowTitle(), QStringLiteral("Update Warning"));
        QCOMPARE(prompt->findChild<QPushButton *>("Command1")->text(), QStringLiteral("Update Now Please"));
        QCOMPARE(prompt->findChild<QPushButton *>("Command2")->text(), QStringLiteral("No Thanks"));
        QCOMPARE(rig.program().registry().window(QStringLiteral("Form150")), prompt);
        QCOMPARE(about->netText(), QString());
        // At ten seconds Command5 goes.
        about->Timer2_Timer();
        QVERIFY(rig.in<QPushButton>("Command5")->isHidden());

        // "No Thanks" hides the prompt and stops Timer3.
        about->timer(3)->start();
        click(prompt->findChild<QPushButton *>("Command2"));
        QVERIFY(!prompt->isVisible());
        QVERIFY(!about->timer(3)->isActive());
        QVERIFY(rig.starter.started.isEmpty());

        // A later check shows Command5 for good and never raises the prompt again. The click
        // is answered at once; a second one while it runs starts nothing more.
        click(rig.in<QPushButton>("Command24"));
        QCOMPARE(rig.in<QLabel>("Label5")->text(), QStringLiteral("Checking for update..."));
        click(rig.in<QPushButton>("Command24"));
        QCOMPARE(about->netText(), QString());
        QVERIFY(rig.waitForFetch());
        QVERIFY(!about->timer(3)->isActive());
        about->Timer1_Timer();
        QVERIFY(!rig.in<QPushButton>("Command5")->isHidden());
        QCOMPARE(rig.in<QLabel>("Label5")->text(), QString());
        QVERIFY(!about->timer(2)->isActive());
        QVERIFY(!prompt->isVisible());
    }

    // A failed check offers no update, and says it failed instead of claiming there is none.
    void failedFetchesCountAsNoUpdate_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("why");
        QTest::newRow("404") << 0 << QStringLiteral("the server answered 404 Not Found");
        QTest::newRow("stalled") << 1 << QStringLiteral("no answer within 1 s");
        QTest::newRow("over 64 KiB") << 2 << QStringLiteral("the server's answer is too large");
        QTest::newRow("markup in the reason")
            << 3 << QStringLiteral("the server answered 404 <h1><font color=green>No Update Available</font></h1>");
        // Cut, and without the escape: the line has no wrap, 100000 characters would stretch
        // the window off the screen.
        QTest::newRow("endless reason")
            << 4 << QStringLiteral("the server answered 404 [2J") + QString(117, QLatin1Char('r')) + QStringLiteral("...");
    }
    void failedFetchesCountAsNoUpdate()
    {
        QFETCH(int, kind);
        QFETCH(QString, why);
        QTemporaryDir dir;
        // Long enough for a loaded machine to get the request out, short enough to wait for.
        AboutRig rig(dir.path(), kind == 1 ? 1000 : 5000);
        if (kind == 1) {
            HttpResponse stalled;
            stalled.stall = true;
            rig.server.setResponse(kVersionPath, stalled);
        } else if (kind == 2) {
            rig.server.setBody(kVersionPath, "1.9.9" + QByteArray(64 * 1024, ' '));
        } else if (kind >= 3) {
            HttpResponse reason;
            reason.status = 404;
            reason.reason = kind == 3 ? QByteArray("<h1><font color=green>No Update Available</font></h1>")
                                      : "\x1b[2J" + QByteArray(100000, 'r');
            rig.server.setResponse(kVersionPath, reason);
        }
        QVERIFY(rig.startPlain());
        AboutWindow *about = rig.about();
        if (kind == 1) {
            // Still waiting: nothing compares before the time-out.
            QVERIFY(rig.server.waitForRequests(1));
            QVERIFY(!about->timer(1)->isActive());
        }
        QVERIFY(rig.waitForFetch());
        QVERIFY(about->timer(3)->isActive());
        QCOMPARE(about->netText(), QString());
        about->Timer1_Timer();
        QVERIFY(rig.in<QPushButton>("Command5")->isHidden());
        QLabel *status = rig.in<QLabel>("Label5");
        QCOMPARE(status->text(), QStringLiteral("Could not check for update: ") + why);
        // Shown as the very text: a server's markup cannot dress the failure up as an answer.
        QCOMPARE(QAccessible::queryAccessibleInterface(status)->text(QAccessible::Name), status->text());
        about->Timer3_Timer();
        QVERIFY(!about->prompt());
    }

    void pathQuestionsAndSaving()
    {
        QTemporaryDir dir;
        AboutRig rig(dir.path());
        QVERIFY(rig.startWith("1.2.2"));
        auto *field = rig.in<QLineEdit>("ProgDir");
        field->setText(QStringLiteral("/home/op/tavrin/"));

        // "No" leaves field and file alone (a program of its own that answers No).
        struct NoDialogs final : Dialogs {
            QList<QString> texts;
            QMessageBox::StandardButton message(QWidget *, QMessageBox::Icon icon, const QString &title,
                                                const QString &text, QMessageBox::StandardButtons buttons) override
            {
                texts << QStringLiteral("%1|%2|%3|%4").arg(int(icon)).arg(title, text).arg(int(buttons));
                return QMessageBox::No;
            }
        } no;
        QVERIFY(!QFile::exists(dir.filePath("TVRDir.ini")));
        {
            QTemporaryDir other;
            AboutRig noRig(other.path());
            noRig.options.dialogs = &no;
            QVERIFY(noRig.startWith("1.2.2"));
            auto *noField = noRig.in<QLineEdit>("ProgDir");
            noField->setText(QStringLiteral("/home/op/tavrin/"));
            click(noRig.in<QPushButton>("Command4"));
            QCOMPARE(noField->text(), QStringLiteral("/home/op/tavrin/"));
            QVERIFY(!QFile::exists(other.filePath("TVRDir.ini")));
            const QString expected = QStringLiteral("%1|Change Directory Path|>> Change Program Path to %2 << \n"
                                                    "This action will also change your News paths to default - Are You Sure ? |%3")
                                         .arg(int(QMessageBox::Question))
                                         .arg(platform::secondDefaultProgramDirectory())
                                         .arg(int(QMessageBox::Yes | QMessageBox::No));
            QCOMPARE(no.texts, QList<QString>({expected}));
        }

        // "Yes" sets and saves.
        click(rig.in<QPushButton>("Command4"));
        QCOMPARE(field->text(), platform::secondDefaultProgramDirectory());
        QCOMPARE(rig.storedDir(), platform::secondDefaultProgramDirectory());
        QVERIFY(rig.dialogs.shown.last().text.contains(platform::secondDefaultProgramDirectory()));
        click(rig.in<QPushButton>("Command8"));
        QCOMPARE(rig.storedDir(), platform::defaultProgramDirectory());

        // Hide saves; closing forgets an unsaved edit.
        rig.about()->show();
        field->setText(QStringLiteral("/srv/tavrin/"));
        click(rig.in<QPushButton>("Command1"));
        QVERIFY(!rig.about()->isVisible());
        QCOMPARE(rig.storedDir(), QStringLiteral("/srv/tavrin/"));
        rig.about()->show();
        field->setText(QStringLiteral("/tmp/elsewhere/"));
        rig.about()->close();
        QVERIFY(!rig.about()->isVisible());
        QCOMPARE(field->text(), QStringLiteral("/srv/tavrin/"));
    }

    void soundControlsFollowTheProgramDirectory()
    {
        QTemporaryDir dir;
        AboutRig rig(dir.path());
        QVERIFY(rig.startWith("1.2.2"));
        auto *vol = rig.find<QLabel>("Label5");
        auto *mic = rig.find<QLabel>("Label6");
        QAction *menu = rig.find<QMenu>("SoundDevice")->menuAction();

        rig.window()->Timer4_Timer();
        QVERIFY(!vol->isHidden() && !mic->isHidden() && menu->isVisible());
        click(rig.in<QPushButton>("Command4"));
        rig.window()->Timer4_Timer();
        QVERIFY(vol->isHidden() && mic->isHidden() && !menu->isVisible());
        click(rig.in<QPushButton>("Command8"));
        rig.window()->Timer4_Timer();
        QVERIFY(!vol->isHidden() && !mic->isHidden() && menu->isVisible());

        // Read at the next start from the file.
        QTemporaryDir other;
        QVERIFY(QFile(other.filePath("TVRDir.ini")).open(QIODevice::WriteOnly));
        {
            ProfileStore store(other.path());
            QVERIFY(store.WriteSetting("TVRDir.ini", "ProgDir", "/opt/tavrin/"));
        }
        AboutRig second(other.path());
        QVERIFY(second.startWith("1.2.2"));
        second.window()->Timer4_Timer();
        QVERIFY(second.find<QLabel>("Label5")->isHidden());
    }

    void handingOverToTheUpdater()
    {
        QTemporaryDir dir;
        AboutRig rig(dir.path());
        QVERIFY(rig.startWith("1.2.2\n"));
        QSignalSpy ended(&rig.program(), &Program::ended);
        auto *field = rig.in<QLineEdit>("ProgDir");
        const QStringList args{QStringLiteral("--settings-dir"), rig.program().store().directory(),
                               QStringLiteral("--installed-version"), QStringLiteral("1.2.2")};

        // Command5 saves the directory first, and takes it as typed: no separator added.
        field->setText(QStringLiteral("/opt/tav"));
        click(rig.in<QPushButton>("Command5"));
        QCOMPARE(rig.starter.started.size(), 1);
        QCOMPARE(rig.starter.started.first().first, QStringLiteral("/opt/tavupdater"));
        QCOMPARE(rig.starter.started.first().second, args);
        QCOMPARE(rig.storedDir(), QStringLiteral("/opt/tav"));
        QVERIFY(rig.program().isEnding());
        QVERIFY(ended.wait(2000));
        QVERIFY(rig.dialogs.shown.isEmpty());
    }

    void updaterIsNotStartedOnADirectoryThatCouldNotBeSaved()
    {
        QTemporaryDir dir;
        AboutRig rig(dir.path());
        QVERIFY(rig.startWith("1.2.2\n"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("TVRDir.ini"))); // no file can be written there
        rig.in<QLineEdit>("ProgDir")->setText(QStringLiteral("/opt/other/"));
        click(rig.in<QPushButton>("Command5"));
        QCOMPARE(rig.dialogs.shown.size(), 1); // the failed save
        QVERIFY(rig.starter.started.isEmpty());
        QVERIFY(!rig.program().isEnding());
        // The directory the updater would read anyway is handed over as before.
        rig.in<QLineEdit>("ProgDir")->setText(platform::defaultProgramDirectory());
        click(rig.in<QPushButton>("Command5"));
        QCOMPARE(rig.starter.started.size(), 1);
    }

    void updaterStartsWithoutSavingFromTheTitleAndThePrompt()
    {
        for (int from = 0; from < 2; ++from) {
            QTemporaryDir dir;
            AboutRig rig(dir.path());
            QVERIFY(rig.startWith("0.9.0"));
            rig.in<QLineEdit>("ProgDir")->setText(QStringLiteral("/srv/t/"));
            if (from == 0) {
                rig.about()->show();
                click(rig.in<QLabel>("Label6"));
            } else {
                QVERIFY(rig.waitForFetch());
                rig.about()->Timer3_Timer();
                QVERIFY(rig.about()->prompt());
                // A double click: the program ends a moment later, with one updater started.
                click(rig.about()->prompt()->findChild<QPushButton *>("Command1"));
                click(rig.about()->prompt()->findChild<QPushButton *>("Command1"));
            }
            QCOMPARE(rig.starter.started.size(), 1);
            QCOMPARE(rig.starter.started.first().first, QStringLiteral("/srv/t/updater"));
            QVERIFY(rig.program().isEnding());
            QVERIFY(!QFile::exists(dir.filePath("TVRDir.ini")));
        }
    }

    void updaterThatCannotStartKeepsTheProgramRunning()
    {
        QTemporaryDir dir;
        AboutRig rig(dir.path());
        QVERIFY(rig.startWith("1.2.2\n"));
        rig.starter.succeed = false;
        rig.in<QLineEdit>("ProgDir")->setText(QStringLiteral("/nowhere/"));
        QSignalSpy ended(&rig.program(), &Program::ended);

        click(rig.in<QPushButton>("Command5"));
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QCOMPARE(rig.dialogs.shown.first().icon, QMessageBox::Warning);
        QVERIFY(rig.dialogs.shown.first().text.contains(QStringLiteral("/nowhere/updater")));
        QVERIFY(!rig.program().isEnding());
        QVERIFY(!ended.wait(200));
        QVERIFY(rig.window()->isVisible());
    }

    void packagedProgramPointsToThePackageManager()
    {
        // The marker counts only in the directory it names: a copied folder keeps the updater.
        QTemporaryDir installed, copy;
        const auto writeMarker = [](const QString &dir, const QString &names) {
            QFile marker(QDir(dir).filePath(QString::fromLatin1(platform::kPackageMarkerFile)));
            return marker.open(QIODevice::WriteOnly) && marker.write(names.toUtf8() + "\n") > 0;
        };
        QVERIFY(!platform::isPackageManaged(installed.path() + QLatin1Char('/')));
        QVERIFY(writeMarker(installed.path(), installed.path() + QLatin1Char('/')));
        QVERIFY(writeMarker(copy.path(), installed.path() + QLatin1Char('/')));
        QVERIFY(platform::isPackageManaged(installed.path() + QLatin1Char('/')));
        QVERIFY(!platform::isPackageManaged(copy.path() + QLatin1Char('/')));

        QTemporaryDir dir;
        AboutRig rig(dir.path());
        rig.options.packageManaged = true;
        QVERIFY(rig.startWith("1.3.0"));
        QVERIFY(rig.waitForFetch());
        rig.about()->Timer1_Timer();
        QVERIFY(rig.in<QPushButton>("Command5")->isHidden());
        QCOMPARE(rig.in<QLabel>("Label5")->text(),
                 QStringLiteral("New version available: update Tavrin through your package manager"));
        rig.about()->Timer3_Timer();
        QVERIFY(rig.about()->prompt());
        click(rig.about()->prompt()->findChild<QPushButton *>("Command1"));
        rig.about()->show();
        click(rig.in<QLabel>("Label6"));
        QVERIFY(rig.starter.started.isEmpty());
        QVERIFY(!rig.program().isEnding());
        QCOMPARE(rig.dialogs.shown.size(), 2);
        QVERIFY(rig.dialogs.shown.last().text.contains(QStringLiteral("package manager")));
    }

    void realUpdaterGetsTheSettingsDirectory()
    {
        QTemporaryDir dir;
        QTemporaryDir programDir;
        const QString marker = programDir.filePath("args.txt");
        QFile script(programDir.filePath("updater"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1.part' && mv '%1.part' '%1'\n")
                         .arg(marker)
                         .toUtf8());
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));

        AboutRig rig(dir.path());
        QVERIFY(rig.startWith("1.2.2\n"));
        rig.about()->setProgramStarter(nullptr); // the real one
        rig.in<QLineEdit>("ProgDir")->setText(programDir.path() + QLatin1Char('/'));
        QVERIFY(rig.about()->startUpdater());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 5000);
        QCOMPARE(readFile(marker), QStringLiteral("--settings-dir\n%1\n--installed-version\n1.2.2\n")
                                       .arg(rig.program().store().directory()));

        // A missing updater is a failure, not an end.
        rig.in<QLineEdit>("ProgDir")->setText(programDir.filePath("absent") + QLatin1Char('/'));
        rig.dialogs.shown.clear();
        QVERIFY(!rig.about()->startUpdater());
        QCOMPARE(rig.dialogs.shown.size(), 1);
    }

    void pagesMailAndBackup()
    {
        QTemporaryDir dir;
        AboutRig rig(dir.path());
        QVERIFY(rig.startWith("1.2.2"));
        click(rig.in<QPushButton>("Command6"));
        click(rig.in<QPushButton>("Command2"));
        rig.about()->show();
        click(rig.in<QLabel>("Picture1"));
        click(rig.in<QPushButton>("Command3"));
        QCOMPARE(rig.opener.opened.size(), 4);
        for (int k = 0; k < 3; ++k)
            QCOMPARE(rig.opener.opened.at(k), QUrl(rig.options.servers.webUrl));
        const QUrl mail = rig.opener.opened.at(3);
        QCOMPARE(mail.scheme(), QStringLiteral("mailto"));
        QCOMPARE(mail.path(), rig.options.servers.mailAddress);
        QCOMPARE(QUrlQuery(mail).queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded),
                 QStringLiteral(" Tavrin Program "));
        // No browser on the computer: the user is told where to go instead of nothing happening.
        rig.opener.works = false;
        click(rig.in<QPushButton>("Command6"));
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QCOMPARE(rig.dialogs.shown.first().icon, QMessageBox::Warning);
        QVERIFY(rig.dialogs.shown.first().text.contains(rig.options.servers.webUrl));
        rig.dialogs.shown.clear();
        // The picture is a key too: Tab reaches it and Space opens the pages. The title, whose
        // click ends the program, is not.
        auto *logo = rig.in<QLabel>("Picture1");
        QVERIFY(logo->focusPolicy() & Qt::TabFocus);
        QVERIFY(!(rig.in<QLabel>("Label6")->focusPolicy() & Qt::TabFocus));
        rig.opener.works = true;
        const qsizetype opened = rig.opener.opened.size();
        QTest::keyClick(logo, Qt::Key_Space);
        QCOMPARE(rig.opener.opened.size(), opened + 1);

        // The backup holds what the windows saved.
        click(rig.in<QPushButton>("Command1"));
        QVERIFY(rig.window()->SaveData());
        click(rig.in<QPushButton>("Command7"));
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QCOMPARE(rig.dialogs.shown.first().icon, QMessageBox::Information);
        const QString folder = dir.filePath("backup-2024-05-04-090507");
        QVERIFY(rig.dialogs.shown.first().text.contains(folder));
        QCOMPARE(readFile(folder + "/TVRDir.ini"), readFile(dir.filePath("TVRDir.ini")));
        QCOMPARE(readFile(folder + "/TVRradio.ini"), readFile(dir.filePath("TVRradio.ini")));
    }

    void titleWithoutAClient()
    {
        QTemporaryDir dir;
        AboutRig rig(dir.path());
        rig.backend.clientExists = false;
        QVERIFY(rig.startWith("1.2.2"));
        QCOMPARE(rig.about()->windowTitle(), QStringLiteral("Tavrin       v") + kVersion);
        // The timer still runs without a client to set time-outs on.
        QVERIFY(rig.waitForFetch());
        rig.about()->Timer1_Timer();
        QCOMPARE(rig.in<QLabel>("Label5")->text(), QStringLiteral("No Update Available"));
    }

    void screenshots()
    {
        const QString target = qEnvironmentVariable("TAVRIN_SCREENSHOT_DIR");
        if (target.isEmpty())
            QSKIP("set TAVRIN_SCREENSHOT_DIR to take pictures");
        QTemporaryDir dir;
        AboutRig rig(dir.path());
        QVERIFY(rig.startWith("1.3.0"));
        QVERIFY(rig.waitForFetch());
        rig.about()->Timer1_Timer();
        rig.about()->Timer3_Timer();
        rig.about()->show();
        QDir().mkpath(target);
        QVERIFY(rig.about()->grab().save(target + "/Form14.png"));
        QVERIFY(rig.about()->prompt()->grab().save(target + "/Form150.png"));

        QTemporaryDir packagedDir;
        AboutRig packaged(packagedDir.path());
        packaged.options.packageManaged = true;
        QVERIFY(packaged.startWith("1.3.0"));
        QVERIFY(packaged.waitForFetch());
        packaged.about()->Timer1_Timer();
        packaged.about()->show();
        QVERIFY(packaged.about()->grab().save(target + "/Form14-packaged.png"));
    }
};

QTEST_MAIN(AboutWindowTest)
#include "test_aboutwindow.moc"
