// tavrin-node's configuration: every field checked and named when wrong, the defaults, the
// frequency ranges' edges, and the password file that only its owner may read.

#include "node/NodeConfig.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace tavrin::node;

namespace {

QString write(const QTemporaryDir &dir, const QString &name, const QByteArray &content,
              QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    f.write(content);
    f.close();
    f.setPermissions(permissions);
    return path;
}

} // namespace

class NodeConfigTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { qunsetenv(kPasswordFileVariable); }

    void everyFieldWrongIsNamed()
    {
        QTemporaryDir dir;
        const QString pw = write(dir, QStringLiteral("pw"), "secret\n", QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        const QString ini = write(dir, QStringLiteral("node.ini"),
                                  "[station]\ncallsign=XX9ABC\npassword_file=" + pw.toUtf8()
                                      + "\npassword=oops\n"
                                        "[directory]\nservers=bad host!\nport_base=99999\nbind_address=nowhere\n"
                                        "[rig]\nmodel=-3\nport=\nspeed=fast\ntimeout_ms=1\npoll_interval_s=0\n"
                                        "[limits]\nranges=14.0-13.0\ntransmit_timeout_s=forever\n"
                                        "[access]\nallow=not a call\nlisteners=perhaps\n[Rig]\nModel=3073\n");
        const ConfigResult r = loadConfig(ini);
        QVERIFY(!r.ok());
        const QString all = r.errors.join(QLatin1Char('\n'));
        for (const char *named :
             {"[station] password is refused", "[station] callsign", "[directory] servers",
              "[directory] port_base", "[directory] bind_address", "[rig] model", "[rig] speed", "[rig] timeout_ms",
              "[rig] poll_interval_s", "[limits] ranges", "[limits] transmit_timeout_s", "[access] allow",
              "[access] listeners", "can be read by others (mode 604)", "[Rig] Model is not a setting tavrin-node knows: sections and keys are lower case, [rig] model"})
            QVERIFY2(all.contains(QLatin1String(named)), qPrintable(QStringLiteral("%1 not in:\n%2").arg(QLatin1String(named), all)));

        QVERIFY(loadConfig(dir.filePath(QStringLiteral("missing.ini"))).errors.value(0).contains(QLatin1String("cannot read")));
        QFile::setPermissions(ini, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::WriteOther);
        QVERIFY(loadConfig(ini).errors.join(QLatin1Char('\n')).contains(QLatin1String("can be changed by any user of this computer (mode 606)")));
        const ConfigResult empty = loadConfig(write(dir, QStringLiteral("empty.ini"), ""));
        QVERIFY(empty.errors.join(QLatin1Char('\n')).contains(QLatin1String("[station] callsign is missing")));
        QVERIFY(empty.errors.join(QLatin1Char('\n')).contains(QLatin1String("[rig] model is missing")));
        QVERIFY(empty.errors.join(QLatin1Char('\n')).contains(QLatin1String("[access] allow is missing")));
    }

    // A minimal file: the defaults fill the rest; the environment's password file wins.
    void minimalFileAndDefaults()
    {
        QTemporaryDir dir;
        const QString pw = write(dir, QStringLiteral("pw"), "  secret  \nignored\n");
        const QString ini = write(dir, QStringLiteral("node.ini"),
                                  "[station]\ncallsign=xx9abc-r\npassword_file=/nonexistent\n"
                                  "[rig]\nmodel=2\nport=127.0.0.1:4532\n[access]\nallow=xx1tav, XX2OPS-L\n");
        QVERIFY(!loadConfig(ini).ok());
        qputenv(kPasswordFileVariable, pw.toLocal8Bit());
        const ConfigResult r = loadConfig(ini);
        QVERIFY2(r.ok(), qPrintable(r.errors.join(QLatin1Char('\n'))));
        QCOMPARE(r.config.callsign, QStringLiteral("XX9ABC-R"));
        QCOMPARE(r.config.allow, (QStringList{QStringLiteral("XX1TAV"), QStringLiteral("XX2OPS-L")}));
        QCOMPARE(r.config.transmitTimeoutMs, 180000);
        QVERIFY(r.config.listeners);
        QString why;
        QCOMPARE(readPasswordFile(passwordFilePath(r.config), &why).value_or(QString()), QStringLiteral("secret"));
        QVERIFY(!readPasswordFile(write(dir, QStringLiteral("blank"), "\n"), &why));
        QVERIFY(why.contains(QLatin1String("holds no password")));
        QVERIFY(!readPasswordFile(dir.path(), &why));
    }

    // The program itself: a missing file name, and --check-config that asks Hamlib about the
    // rig and names the file once per line.
    void programChecksTheConfiguration()
    {
        QTemporaryDir dir;
        const auto run = [](const QStringList &args, QString *err) {
            QProcess p;
            p.start(qEnvironmentVariable("TAVRIN_NODE_PROGRAM"), args);
            p.waitForFinished(60000);
            *err = QString::fromLocal8Bit(p.readAllStandardError());
            return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        };
        QString err;
        QCOMPARE(run({QStringLiteral("--config")}, &err), 2);
        QVERIFY2(err.startsWith(QLatin1String("tavrin-node: --config needs the configuration file")), qPrintable(err));
        const QString pw = write(dir, QStringLiteral("pw"), "secret\n");
        const QString ini = write(dir, QStringLiteral("node.ini"),
                                  "[station]\ncallsign=XX9ABC-L\npassword_file=" + pw.toUtf8()
                                      + "\n[rig]\nmodel=999999\nport=/dev/ttyUSB0\n[access]\nallow=XX1TAV\n");
        QCOMPARE(run({QStringLiteral("--config"), ini, QStringLiteral("--check-config")}, &err), 1);
        QCOMPARE(err, ini + QStringLiteral(": [rig] model 999999 is not a rig model Hamlib knows (rigctl --list)\n"));
        QCOMPARE(run({QStringLiteral("--config"), dir.path(), QStringLiteral("--check-config")}, &err), 1);
        QCOMPARE(err.count(dir.path()), 1);
        // A sound file is summed up, so that an allow-list of blanks or a range in kHz shows.
        const QString blanks = write(dir, QStringLiteral("blanks.ini"),
                                     "[station]\ncallsign=XX9ABC-L\npassword_file=" + pw.toUtf8()
                                         + "\n[rig]\nmodel=1\n[limits]\nranges=14000-14350\n[access]\nallow= , ,\n");
        QProcess p;
        p.start(qEnvironmentVariable("TAVRIN_NODE_PROGRAM"), {QStringLiteral("--config"), blanks, QStringLiteral("--check-config")});
        QVERIFY(p.waitForFinished(60000));
        const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
        QCOMPARE(p.exitCode(), 0);
        QVERIFY2(out.contains(QLatin1String("may control the rig: nobody")), qPrintable(out));
        QVERIFY2(out.contains(QLatin1String("(MHz): 14000.0000-14350.0000")), qPrintable(out));
        QVERIFY2(out.contains(QLatin1String("rig: model 1 (Hamlib Dummy)")), qPrintable(out));
    }

    // A file written by hand: each value exactly as typed (a Latin-1 line among UTF-8 ones,
    // commas, semicolons, quotes and backslashes), the spellings the file always took still
    // understood, and every line that is no setting, or a setting given twice, named.
    void handWrittenFileReadAsWritten()
    {
        QTemporaryDir dir;
        const QString pw = write(dir, QStringLiteral("pw"), "secret\n");
        const ConfigResult r = loadConfig(write(
            dir, QStringLiteral("node.ini"),
            "\xEF\xBB\xBF; comment\r\n# comment\r\n[ station ]\r\n callsign = XX9ABC-L ; as always\r\n"
            "name=\"  Z\xC3\xBCrich \\ #1 \"\r\nlocation=K\xF6ln, Germany; back room\r\npassword_file="
                + pw.toUtf8()
                + "\r\n[General]\r\nrig\\model=3073 ; IC-7300\r\n[rig]\r\nport=/dev/ttyUSB0\r\n"
                  "[limits]\r\nranges=14.000-14.350,\\\r\n  7.000-7.200\r\n[access]\r\nallow=\"XX1TAV\",\"xx2ops\"\r\n"));
        QVERIFY2(r.ok(), qPrintable(r.errors.join(QLatin1Char('\n'))));
        QCOMPARE(r.config.name, QString::fromUtf8("  Z\xC3\xBCrich \\ #1 "));
        QCOMPARE(r.config.location, QString::fromUtf8("K\xC3\xB6ln, Germany; back room"));
        QCOMPARE(r.config.callsign, QStringLiteral("XX9ABC-L"));
        QCOMPARE(r.config.rigModel, 3073);
        QVERIFY(r.config.ranges.contains(7'100'000) && !r.config.ranges.contains(3'600'000));
        QCOMPARE(r.config.allow, (QStringList{QStringLiteral("XX1TAV"), QStringLiteral("XX2OPS")}));

        const QString all = loadConfig(write(dir, QStringLiteral("typos.ini"),
                                             "[station]\ncallsign=XX9ABC-L\ncallsign XX9ABC-R\n[Station]\nName=x\n"
                                             "[rig\nspeed=9600\n[rig]\nmodel=1\nmodel=2\n"))
                                .errors.join(QLatin1Char('\n'));
        for (const char *named :
             {"line 3: \"callsign XX9ABC-R\" is not a setting", "[Station] Name is not a setting tavrin-node knows: "
              "sections and keys are lower case, [station] name", "line 6: \"[rig\" lacks its closing ]",
              "speed is not a setting tavrin-node knows: every setting goes under its [section]",
              "[rig] model is given twice, on lines 9 and 10"})
            QVERIFY2(all.contains(QLatin1String(named)), qPrintable(QStringLiteral("%1 not in:\n%2").arg(QLatin1String(named), all)));
    }

    void rangesIncludeBothEnds()
    {
        const FrequencyRanges hf = FrequencyRanges::iaruRegion1Hf();
        QVERIFY(hf.contains(14'000'000) && hf.contains(14'350'000) && hf.contains(1'810'000));
        QVERIFY(!hf.contains(14'350'001) && !hf.contains(13'999'999) && !hf.contains(7'300'000));
        QString why;
        const auto own = FrequencyRanges::parse(QStringLiteral("7.000-7.200, 14.1-14.1"), &why);
        QVERIFY(own && own->contains(14'100'000) && !own->contains(14'100'001) && !own->contains(3'600'000));
        QVERIFY(!FrequencyRanges::parse(QStringLiteral("7-"), &why));
        QVERIFY(!FrequencyRanges::parse(QStringLiteral(" , "), &why));
    }
};

QTEST_GUILESS_MAIN(NodeConfigTest)
#include "test_node_config.moc"
