// The updater replacing a running program, on Windows (wine), where a running program cannot be
// overwritten or removed. A copy of this check, started as DIR\app\Tavrin.exe, plays the running
// program; a local server offers DIR\new.exe with its signed manifest (tools/sign-release).
//   updater_replace_check DIR            DIR holds new.exe, new.exe.manifest, release.pub
//   updater_replace_check --hold FILE    runs until FILE exists (the running program)
// Exits 0 when every step behaved.
#include "support/LocalHttpServer.h"
#include "updater/ProgramInstaller.h"
#include "updater/UpdateDownload.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QSignalSpy>
#include <QTimer>

#include <cstdio>
#include <memory>

using namespace tavrin;
using namespace tavrin::updater;

namespace {

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

int failures = 0;

void expect(bool ok, const char *what, const QString &detail = {})
{
    std::printf("%s: %s%s%s\n", ok ? "ok" : "FAILED", what, detail.isEmpty() ? "" : " - ",
                qPrintable(detail));
    std::fflush(stdout);
    if (!ok)
        ++failures;
}

int hold(const QString &stopFile)
{
    QTimer poll;
    int ticks = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        // Never outlive a check that died: two minutes at most.
        if (QFileInfo::exists(stopFile) || ++ticks > 1200)
            QCoreApplication::quit();
    });
    poll.start(100);
    return QCoreApplication::exec();
}

struct Result {
    bool ok = false;
    QString reason;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args.at(1) == QLatin1String("--hold"))
        return hold(args.at(2));
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: updater_replace_check DIR | --hold FILE\n");
        return 2;
    }
    const QDir dir(args.at(1));
    const QByteArray oldProgram = contents(QCoreApplication::applicationFilePath());
    const QByteArray newProgram = contents(dir.filePath(QStringLiteral("new.exe")));
    QByteArray badProgram = newProgram;
    badProgram[badProgram.size() / 2] = char(badProgram.at(badProgram.size() / 2) ^ 0x55);
    const QByteArray manifest = contents(dir.filePath(QStringLiteral("new.exe.manifest")));
    const QByteArray key = contents(dir.filePath(QStringLiteral("release.pub"))).trimmed();

    dir.mkpath(QStringLiteral("app"));
    const QString target = dir.filePath(QStringLiteral("app/Tavrin.exe"));
    const QString backup = ProgramInstaller::backupPathFor(target);
    const QString aside = dir.filePath(QStringLiteral("app/.Tavrin.exe.old-1"));
    if (!QFile::copy(QCoreApplication::applicationFilePath(), target)) {
        std::printf("FAILED: cannot copy this check to %s\n", qPrintable(target));
        return 1;
    }
    auto startHeld = [&](const QString &program, const QString &stopName) {
        auto process = std::make_unique<QProcess>();
        process->start(program, {QStringLiteral("--hold"), dir.filePath(stopName)});
        return process->waitForStarted(60000) ? std::move(process) : nullptr;
    };
    std::unique_ptr<QProcess> oldRunning = startHeld(target, QStringLiteral("stop-old"));
    expect(oldRunning != nullptr, "the installed program runs");
    if (!oldRunning)
        return 1;

    test::LocalHttpServer server;
    server.setBody("/Tavrin.exe.manifest", manifest);
    QNetworkAccessManager network;
    auto update = [&](const QByteArray &offered, const ProgramInstaller &installer) {
        server.setBody("/Tavrin.exe", offered);
        UpdateDownload download(key, &network);
        download.setRunningVersion(QStringLiteral("0.0.1"));
        download.setInstaller(installer);
        QSignalSpy finished(&download, &UpdateDownload::finished);
        download.start(server.url(QStringLiteral("/Tavrin.exe")), target);
        Result r;
        if (finished.wait(120000)) {
            r.ok = finished.at(0).at(0).toBool();
            r.reason = finished.at(0).at(1).toString();
        } else {
            r.reason = QStringLiteral("no answer in two minutes");
        }
        return r;
    };
    auto running = [](const std::unique_ptr<QProcess> &p) { return p && p->state() == QProcess::Running; };

    // The last step fails after the running program was moved aside: it goes back.
    ProgramInstaller failing;
    failing.setReplaceStep([](const QString &, const QString &, QString *error) {
        *error = QStringLiteral("refused by the check");
        return false;
    });
    Result r = update(newProgram, failing);
    expect(!r.ok && r.reason.contains(QLatin1String("refused by the check")), "a failed replace is reported", r.reason);
    expect(contents(target) == oldProgram && running(oldRunning), "the running program is back in its place");

    // A download that is not the signed release never touches the program.
    r = update(badProgram, ProgramInstaller());
    expect(!r.ok && r.reason.contains(QLatin1String("not the file its release manifest names")),
           "a download that is not the release is refused", r.reason);
    expect(contents(target) == oldProgram, "the installed program is untouched");

    // The real thing: the running program is replaced; it keeps running from its backup name.
    r = update(newProgram, ProgramInstaller());
    expect(r.ok, "the running program is replaced", r.reason);
    expect(contents(target) == newProgram, "the new program is in place");
    expect(contents(backup) == oldProgram && running(oldRunning), "the old program runs on as the backup");
    std::unique_ptr<QProcess> newRunning = startHeld(target, QStringLiteral("stop-new"));
    expect(newRunning != nullptr, "the new program starts");

    // Again while both run: the backup still in use cannot be removed, so it goes aside.
    r = update(newProgram, ProgramInstaller());
    expect(r.ok, "a second update while both programs run", r.reason);
    expect(contents(target) == newProgram && contents(backup) == newProgram && contents(aside) == oldProgram,
           "the older backup was moved aside");
    ProgramInstaller::removeAsideFiles(target);
    expect(QFileInfo::exists(aside), "an aside program still running stays");

    // Once the old program has ended, a later run clears it away.
    for (const char *stop : {"stop-old", "stop-new"}) {
        QFile f(dir.filePath(QString::fromLatin1(stop)));
        f.open(QIODevice::WriteOnly);
    }
    for (QProcess *p : {oldRunning.get(), newRunning.get()})
        if (p)
            p->waitForFinished(60000);
    ProgramInstaller::removeAsideFiles(target);
    expect(!QFileInfo::exists(aside) && contents(backup) == newProgram, "a later run removes the aside program");
    return failures == 0 ? 0 : 1;
}
