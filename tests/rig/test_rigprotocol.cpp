// The rig server's text protocol and state, without sockets or windows.
#include "protocol/FrequencyText.h"
#include "protocol/RemoteProtocol.h"
#include "rig/RigProtocol.h"
#include "rig/RigSettings.h"
#include "rig/RigState.h"

#include <QTemporaryDir>
#include <QTest>

using namespace tavrin;
using namespace tavrin::rig;

namespace {

class FakeStation final : public RigBackend {
public:
    qint64 hz = 14'230'000;
    QByteArray currentMode = "USB";
    bool keyed = false;
    int setResult = kOk;
    QList<qint64> setCalls;
    QList<QPair<int, bool>> pttCalls;

    qint64 frequencyHz() const override { return hz; }
    int setFrequencyHz(qint64 value) override
    {
        setCalls.append(value);
        return setResult;
    }
    QByteArray mode() const override { return currentMode; }
    bool transmitting() const override { return keyed; }
    int setPtt(int client, bool on) override
    {
        pttCalls.append({client, on});
        return kOk;
    }
};

// The answers to every command of one line, as the server sends them.
Reply ask(FakeStation &station, const QByteArray &line, int client = 1)
{
    Reply all;
    Session session;
    for (const Request &r : parseLine(line)) {
        const Reply one = answer(r, station, client, session);
        all.text += one.text;
        if (one.close) {
            all.close = true;
            break;
        }
    }
    return all;
}

} // namespace

class RigProtocolTest : public QObject {
    Q_OBJECT
private slots:
    void defaultProtocolReplies()
    {
        FakeStation st;
        QCOMPARE(ask(st, "f").text, QByteArray("14230000\n"));
        QCOMPARE(ask(st, "\\get_freq").text, QByteArray("14230000\n"));
        QCOMPARE(ask(st, "m").text, QByteArray("USB\n2400\n"));
        st.currentMode = "CW";
        QCOMPARE(ask(st, "m").text, QByteArray("CW\n500\n"));
        QCOMPARE(ask(st, "t").text, QByteArray("0\n"));
        st.keyed = true;
        QCOMPARE(ask(st, "t").text, QByteArray("1\n"));
        QCOMPARE(ask(st, "v").text, QByteArray("VFOA\n"));
        QCOMPARE(ask(st, "s").text, QByteArray("0\nVFOA\n"));
        QCOMPARE(ask(st, "\\chk_vfo").text, QByteArray("0\n"));
        QCOMPARE(ask(st, "\\get_lock_mode").text, QByteArray("0\n"));
        QCOMPARE(ask(st, "\\get_powerstat").text, QByteArray("1\n"));
        // What raw clients poll instead of f and m: frequency, mode, width, split, satellite mode.
        QCOMPARE(ask(st, "\\get_vfo_info VFOA").text, QByteArray("14230000\nCW\n500\n0\n0\n"));
        QCOMPARE(ask(st, "+\\get_vfo_info currVFO").text,
                 QByteArray("get_vfo_info: currVFO\nFreq: 14230000\nMode: CW\nWidth: 500\nSplit: 0\nSatMode: 0\nRPRT 0\n"));
        QCOMPARE(ask(st, "\\get_vfo_info VFOB").text, QByteArray("RPRT -11\n"));
        // CR LF line ends and surrounding blanks are fine; an empty line gets no answer.
        QCOMPARE(ask(st, "  f \r").text, QByteArray("14230000\n"));
        QVERIFY(parseLine("   \r").isEmpty());
    }

    // Several commands on one line are answered one after the other, as rigctld does:
    // CQRlog polls with "fmv" every half second.
    void severalCommandsOnOneLine()
    {
        FakeStation st;
        QCOMPARE(ask(st, "fmv").text, QByteArray("14230000\nUSB\n2400\nVFOA\n"));
        QCOMPARE(ask(st, "f m\tv").text, QByteArray("14230000\nUSB\n2400\nVFOA\n"));
        QCOMPARE(ask(st, "F 7074000 f").text, QByteArray("RPRT 0\n14230000\n"));
        QCOMPARE(ask(st, "F7074000").text, QByteArray("RPRT 0\n"));
        QCOMPARE(ask(st, "+f m").text, QByteArray("get_freq:\nFrequency: 14230000\nRPRT 0\nUSB\n2400\n"));
        QCOMPARE(ask(st, ";f;v").text, QByteArray("get_freq:;Frequency: 14230000;RPRT 0\nget_vfo:;VFO: VFOA;RPRT 0\n"));
        QCOMPARE(ask(st, "f \\get_powerstat t").text, QByteArray("14230000\n1\n0\n"));
        QCOMPARE(ask(st, "M USB 2400 f").text, QByteArray("RPRT 0\n14230000\n"));
        // An unknown command takes the rest of the line; a quit ends it.
        QCOMPARE(ask(st, "f l RFPOWER f").text, QByteArray("14230000\nRPRT -11\n"));
        const Reply q = ask(st, "f q f");
        QCOMPARE(q.text, QByteArray("14230000\nRPRT 0\n"));
        QVERIFY(q.close);
        QCOMPARE(ask(st, "fhello").text, QByteArray("14230000\nRPRT -1\n"));
        // "#" starts a comment, which gets no answer.
        QCOMPARE(ask(st, "# tune, then read").text, QByteArray());
        QCOMPARE(ask(st, "f # read").text, QByteArray("14230000\n"));
        QCOMPARE(st.setCalls, (QList<qint64>{7074000, 7074000}));
    }

    void setCommandsAndTheirRefusals()
    {
        FakeStation st;
        QCOMPARE(ask(st, "F 14074000.000000").text, QByteArray("RPRT 0\n"));
        QCOMPARE(ask(st, "\\set_freq 7074000").text, QByteArray("RPRT 0\n"));
        QCOMPARE(st.setCalls, (QList<qint64>{14074000, 7074000}));
        // Outside the HF range: refused before the station hears of it.
        QCOMPARE(ask(st, "F 1799999").text, QByteArray("RPRT -1\n"));
        QCOMPARE(ask(st, "F 30000001").text, QByteArray("RPRT -1\n"));
        QCOMPARE(ask(st, "F 144000000").text, QByteArray("RPRT -1\n"));
        QCOMPARE(ask(st, "F abc").text, QByteArray("RPRT -1\n"));
        QCOMPARE(ask(st, "F").text, QByteArray("RPRT -1\n"));
        QCOMPARE(st.setCalls.size(), 2);
        st.setResult = kIoError;
        QCOMPARE(ask(st, "F 3600000").text, QByteArray("RPRT -6\n"));

        // Only the mode the node reports can be "set".
        QCOMPARE(ask(st, "M USB 2400").text, QByteArray("RPRT 0\n"));
        QCOMPARE(ask(st, "M USB -1").text, QByteArray("RPRT 0\n"));
        QCOMPARE(ask(st, "M LSB 0").text, QByteArray("RPRT -11\n"));
        QCOMPARE(ask(st, "M USB wide").text, QByteArray("RPRT -1\n"));

        QCOMPARE(ask(st, "T 3", 7).text, QByteArray("RPRT 0\n"));
        QCOMPARE(ask(st, "T 0", 7).text, QByteArray("RPRT 0\n"));
        QCOMPARE(ask(st, "T 4").text, QByteArray("RPRT -1\n"));
        QCOMPARE(st.pttCalls, (QList<QPair<int, bool>>{{7, true}, {7, false}}));

        QCOMPARE(ask(st, "V VFOA").text, QByteArray("RPRT 0\n"));
        QCOMPARE(ask(st, "V VFOB").text, QByteArray("RPRT -11\n"));
        QCOMPARE(ask(st, "S 0 VFOA").text, QByteArray("RPRT 0\n"));
        QCOMPARE(ask(st, "S 1 VFOB").text, QByteArray("RPRT -11\n"));

        // On a connection, missing arguments come from the next lines, as rigctld reads them;
        // the rest of that line goes on as usual. A line that holds none ends the wait.
        Session s;
        QVERIFY(parseLine("F", s).isEmpty());
        QVERIFY(parseLine("", s).isEmpty());
        const QList<Request> late = parseLine("7074000 f", s);
        QCOMPARE(late.size(), 2);
        QCOMPARE(late.at(0).command, Command::SetFreq);
        QCOMPARE(late.at(0).args, QList<QByteArray>{"7074000"});
        QCOMPARE(late.at(1).command, Command::GetFreq);
        QVERIFY(parseLine("+\\set_split_vfo 0", s).isEmpty());
        const QList<Request> split = parseLine("VFOA", s);
        QCOMPARE(split.size(), 1);
        QCOMPARE(answer(split.at(0), st, 1, s).text, QByteArray("set_split_vfo: 0 VFOA\nRPRT 0\n"));
        QVERIFY(parseLine("T", s).isEmpty());
        QCOMPARE(parseLine(QByteArray("\x01"), s).value(0).command, Command::Malformed);
        QVERIFY(!s.awaiting);
    }

    void unknownGarbageAndQuit()
    {
        FakeStation st;
        QCOMPARE(ask(st, "l RFPOWER").text, QByteArray("RPRT -11\n"));
        QCOMPARE(ask(st, "\\get_dcd VFOA").text, QByteArray("RPRT -11\n"));
        QCOMPARE(ask(st, "hello world").text, QByteArray("RPRT -1\n"));
        QCOMPARE(ask(st, QByteArray("f\x01\xff")).text, QByteArray("RPRT -1\n"));
        QCOMPARE(ask(st, "+").text, QByteArray("RPRT -1\n"));
        const Reply q = ask(st, "q");
        QCOMPARE(q.text, QByteArray("RPRT 0\n"));
        QVERIFY(q.close);
        QVERIFY(ask(st, "\\quit").close);
        QVERIFY(!ask(st, "f").close);
    }

    void extendedForms()
    {
        FakeStation st;
        QCOMPARE(ask(st, "+f").text, QByteArray("get_freq:\nFrequency: 14230000\nRPRT 0\n"));
        QCOMPARE(ask(st, "+\\get_mode").text, QByteArray("get_mode:\nMode: USB\nPassband: 2400\nRPRT 0\n"));
        QCOMPARE(ask(st, ";m").text, QByteArray("get_mode:;Mode: USB;Passband: 2400;RPRT 0\n"));
        QCOMPARE(ask(st, "+F 7074000").text, QByteArray("set_freq: 7074000\nRPRT 0\n"));
        QCOMPARE(ask(st, "+M LSB 0").text, QByteArray("set_mode: LSB 0\nRPRT -11\n"));
        QVERIFY(ask(st, "+\\dump_state").text.startsWith("dump_state:\n1\n"));
    }

    void dumpStateBlock()
    {
        const QList<QByteArray> lines = dumpStateText().split('\n');
        QCOMPARE(lines.first(), QByteArray("1")); // protocol 1
        QCOMPARE(lines.at(3), QByteArray("1800000 30000000 0x1bf -1 -1 0x3 0x0"));
        // Keyed by command, or Hamlib clients refuse to key.
        QVERIFY(lines.contains("ptt_type=0x1"));
        QVERIFY(lines.contains("targetable_vfo=0x3"));
        QCOMPARE(lines.at(lines.size() - 2), QByteArray("done"));
        QVERIFY(lines.last().isEmpty());

        // The settings only for a client that asked \chk_vfo first (Hamlib 4), as rigctld:
        // a Hamlib 3 client reads up to the parameter masks and would take the rest for the
        // answers to its next commands.
        FakeStation st;
        const QByteArray old = ask(st, "\\dump_state").text;
        QCOMPARE(old, dumpStateText(false));
        QVERIFY(old.endsWith("0x0\n0x0\n0x0\n0x0\n0x0\n0x0\n"));
        QCOMPARE(ask(st, "\\chk_vfo \\dump_state").text, "0\n" + dumpStateText());
    }

    void hertzAndFrequencyTexts()
    {
        QCOMPARE(parseHertz("14074000"), std::optional<qint64>(14074000));
        QCOMPARE(parseHertz("14074055.999999"), std::optional<qint64>(14074055));
        QCOMPARE(parseHertz(".5"), std::optional<qint64>(0));
        QVERIFY(!parseHertz("-14074000"));
        QVERIFY(!parseHertz("1e7"));
        QVERIFY(!parseHertz("."));
        QVERIFY(!parseHertz("9999999999999999999999"));

        QCOMPARE(remote::hertzToFrequencyText(14074000), QStringLiteral("14.0740"));
        QCOMPARE(remote::hertzToFrequencyText(1850000), QStringLiteral("1.8500"));
        QCOMPARE(remote::hertzToFrequencyText(29999999), QStringLiteral("29.9999"));
        QCOMPARE(remote::frequencyTextToHertz(QStringLiteral("14.2300")), std::optional<qint64>(14230000));
        QCOMPARE(remote::frequencyTextToHertz(QStringLiteral(".5000")), std::optional<qint64>(500000));
        QCOMPARE(remote::frequencyTextToHertz(QStringLiteral("7")), std::optional<qint64>(7000000));
        QVERIFY(!remote::frequencyTextToHertz(QStringLiteral("1.2.3")));
        QVERIFY(!remote::frequencyTextToHertz(QStringLiteral("")));
    }

    void modeWordOfReports()
    {
        QCOMPARE(remote::reportedModeWord(QStringLiteral("XX9XYZ-L>FN14.2300 USB")), QStringLiteral("USB"));
        QCOMPARE(remote::reportedModeWord(QStringLiteral("XX9XYZ-L>fn7.0740 lsb")), QStringLiteral("LSB"));
        QCOMPARE(remote::reportedModeWord(QStringLiteral("XX9XYZ-L>FN7.0300 MHz CW")), QStringLiteral("CW"));
        QCOMPARE(remote::reportedModeWord(QStringLiteral("XX9XYZ-L>FN14.2300")), QString());
        QCOMPARE(remote::reportedModeWord(QStringLiteral("XX9XYZ-L>FN14.2300 please")), QString());
    }

    void stateFollowsReportsAndCommands()
    {
        RigState s;
        QCOMPARE(s.frequencyHz(), 0);
        QCOMPARE(s.mode(), QByteArray("USB"));
        s.reported(14230000, "", 0);
        QCOMPARE(s.frequencyHz(), 14230000);
        QCOMPARE(s.mode(), QByteArray("USB"));

        s.commanded(7074000, 1000);
        QCOMPARE(s.frequencyHz(), 7074000);
        // A report from before the command does not undo it...
        s.reported(14230000, "LSB", 2000);
        QCOMPARE(s.frequencyHz(), 7074000);
        QCOMPARE(s.mode(), QByteArray("LSB"));
        // ...the matching one confirms it.
        s.reported(7074000, "", 2500);
        QVERIFY(!s.hasPending());
        QCOMPARE(s.frequencyHz(), 7074000);
        QCOMPARE(s.mode(), QByteArray("LSB"));

        // A node that went elsewhere wins once it had time to act on the command.
        s.commanded(3600000, 10000);
        s.reported(3700000, "", 10000 + RigState::kConfirmWaitMs);
        QCOMPARE(s.frequencyHz(), 3700000);

        // A command the node refused and never confirms: clients hear the report again once
        // the wait is over, not the refused frequency for ever.
        s.commanded(14400000, 30000);
        QCOMPARE(s.frequencyHz(30000 + RigState::kConfirmWaitMs - 1), 14400000);
        QCOMPARE(s.frequencyHz(30000 + RigState::kConfirmWaitMs), 3700000);
        // The system clock set back an hour after the command: not an hour of the refused one.
        QCOMPARE(s.frequencyHz(30000 - 3600000), 3700000);
        s.reported(3700000, "", 30000 - 3600000);
        QVERIFY(!s.hasPending());
        // With no report at all the command is the best we know.
        RigState fresh;
        fresh.commanded(7074000, 0);
        QCOMPARE(fresh.frequencyHz(10 * RigState::kConfirmWaitMs), 7074000);
    }

    void settingsFile()
    {
        QTemporaryDir dir;
        ProfileStore store(dir.path());
        const RigSettings defaults = RigSettings::load(store);
        QVERIFY(!defaults.enabled);
        QCOMPARE(defaults.address, QStringLiteral("127.0.0.1"));
        QVERIFY(!defaults.allowRemote);
        QCOMPARE(defaults.port, 4532);
        QVERIFY(!defaults.allowPtt);
        QCOMPARE(defaults.pttTimeoutS, 180);

        RigSettings s;
        s.enabled = true;
        s.port = 4600;
        s.allowPtt = true;
        s.pttTimeoutS = 30;
        QVERIFY(s.save(store).ok);
        QCOMPARE(RigSettings::load(store), s);
        QCOMPARE(store.ReadSetting(QStringLiteral("TVRrig.ini"), QStringLiteral("enabled"), {}), QStringLiteral("True"));

        // Values that make no sense fall back to the defaults.
        store.WriteSetting(QStringLiteral("TVRrig.ini"), QStringLiteral("Port"), QStringLiteral("70000"));
        store.WriteSetting(QStringLiteral("TVRrig.ini"), QStringLiteral("PTTTimeout"), QStringLiteral("0"));
        store.WriteSetting(QStringLiteral("TVRrig.ini"), QStringLiteral("AllowPTT"), QStringLiteral("maybe"));
        const RigSettings odd = RigSettings::load(store);
        QCOMPARE(odd.port, 4532);
        QCOMPARE(odd.pttTimeoutS, 180);
        QVERIFY(!odd.allowPtt);
        // ... and are named, as written, with the file.
        for (const char *said : {"TVRrig.ini", "Port \"70000\"", "PTTTimeout \"0\"", "AllowPTT \"maybe\""})
            QVERIFY2(odd.problem.contains(QLatin1String(said)), qPrintable(odd.problem));
        QVERIFY(defaults.problem.isEmpty());

        QVERIFY(isLoopback(QStringLiteral("127.0.0.1")));
        QVERIFY(isLoopback(QStringLiteral("::1")));
        QVERIFY(!isLoopback(QStringLiteral("0.0.0.0")));
        QVERIFY(!isLoopback(QStringLiteral("192.168.1.5")));
    }
};

QTEST_GUILESS_MAIN(RigProtocolTest)
#include "test_rigprotocol.moc"
