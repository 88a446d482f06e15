// The directory conversation: the list reader and login texts on their own, then the
// client against the fake directory on 127.0.0.3.

#include "echolink/native/DirectoryClient.h"
#include "echolink/native/DirectoryProtocol.h"
#include "support/FakeDirectory.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace tavrin;
using namespace tavrin::directory;
using tavrin::test::FakeDirectory;
using tavrin::test::FakeStation;
using Reader = StationListReader;

Q_DECLARE_METATYPE(tavrin::directory::StationListReader::State)
Q_DECLARE_METATYPE(tavrin::directory::StationListReader::Error)
Q_DECLARE_METATYPE(tavrin::test::FakeDirectory::Mode)

namespace {

const QHostAddress kFakeAddress(QStringLiteral("127.0.0.3"));
constexpr quint16 kFakePort = 15200;
constexpr quint16 kClosedPort = 15201;

const QByteArray kTwo = "@@@\n2\nla1abc-l\nOslo, Norway [ON 12:34]\n123456\n10.0.0.1\n"
                        "LB2XYZ\nBergen [BUSY 01:02]\n7\n192.168.1.20\n+++\n";

Reader::State feedBytewise(Reader &reader, const QByteArray &input)
{
    for (char c : input)
        reader.feed(QByteArrayView(&c, 1));
    return reader.finish();
}

QList<FakeStation> threeStations()
{
    const auto station = [](const char *call, const char *location, const char *status, quint32 id, const char *address) {
        return FakeStation{QString::fromLatin1(call), QString::fromLatin1(location), QString::fromLatin1(status),
                           QStringLiteral("09:15"), id, QString::fromLatin1(address)};
    };
    return {station("PEER-L", "Loopback", "ON", 4242, "127.0.0.2"), station("la9xx-r", "Tromso", "BUSY", 17, "10.1.2.3"),
            station("K1ABC", "Boston, MA", "ON", 99, "10.9.9.9")};
}

// Waits for the one signal that ends a request.
struct Outcome {
    explicit Outcome(DirectoryClient &c)
        : client(&c), loggedIn(&c, &DirectoryClient::loggedIn), updated(&c, &DirectoryClient::stationsUpdated),
          failed(&c, &DirectoryClient::failed)
    {
    }
    int total() const { return int(loggedIn.size() + updated.size() + failed.size()); }
    // An event loop rather than qWaitFor: its naps between rounds would slow a flood to a crawl.
    bool wait(int count, int timeoutMs)
    {
        QEventLoop loop;
        const auto check = [&] {
            if (total() >= count)
                loop.quit();
        };
        QObject::connect(client, &DirectoryClient::loggedIn, &loop, check, Qt::QueuedConnection);
        QObject::connect(client, &DirectoryClient::stationsUpdated, &loop, check, Qt::QueuedConnection);
        QObject::connect(client, &DirectoryClient::failed, &loop, check, Qt::QueuedConnection);
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        if (total() < count)
            loop.exec();
        return total() >= count;
    }
    QString message() const { return failed.isEmpty() ? QString() : failed.last().at(0).toString(); }

    DirectoryClient *client;
    QSignalSpy loggedIn;
    QSignalSpy updated;
    QSignalSpy failed;
};

DirectoryClient::Options options(const QStringList &servers, int timeoutMs = 3000)
{
    DirectoryClient::Options o;
    o.servers = servers;
    o.callsign = QStringLiteral("n0call-l");
    o.password = QStringLiteral("secret");
    o.description = QStringLiteral("Test bench");
    o.timeoutMs = timeoutMs;
    return o;
}

} // namespace

class TestDirectory : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readsLists_data();
    void readsLists();
    void stationFields();
    void limits();
    void loginTexts();
    void loginReplies_data();
    void loginReplies();

    void loginAndList();
    void loginRefused();
    void serversInTurn();
    void misbehavingServer_data();
    void misbehavingServer();
    void slowButInTime();
    void receiverDeletesClient();
};

void TestDirectory::readsLists_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<Reader::State>("state");
    QTest::addColumn<Reader::Error>("error");
    QTest::addColumn<int>("count");

    const QByteArray crlf = QByteArray(kTwo).replace("\n", "\r\n");
    QTest::newRow("good") << kTwo << Reader::State::Done << Reader::Error::None << 2;
    QTest::newRow("crlf") << crlf << Reader::State::Done << Reader::Error::None << 2;
    QTest::newRow("no final newline") << kTwo.chopped(1) << Reader::State::Done << Reader::Error::None << 2;
    QTest::newRow("no final crlf") << crlf.chopped(2) << Reader::State::Done << Reader::Error::None << 2;
    QTest::newRow("empty list") << QByteArray("@@@\n0\n+++") << Reader::State::Done << Reader::Error::None << 0;
    QTest::newRow("bytes after the end") << kTwo + "junk\n\x01\x02" << Reader::State::Done << Reader::Error::None << 2;

    QTest::newRow("nothing") << QByteArray() << Reader::State::Failed << Reader::Error::Truncated << 0;
    QTest::newRow("header only") << QByteArray("@@@\n") << Reader::State::Failed << Reader::Error::Truncated << 0;
    QTest::newRow("no end mark") << kTwo.left(kTwo.indexOf("+++")) << Reader::State::Failed << Reader::Error::Truncated << 0;
    QTest::newRow("cut mid-entry") << kTwo.left(kTwo.indexOf("Bergen") + 3) << Reader::State::Failed << Reader::Error::Truncated << 0;
    QTest::newRow("partial end mark") << kTwo.left(kTwo.size() - 3) << Reader::State::Failed << Reader::Error::Truncated << 0;

    QTest::newRow("not a list") << QByteArray("<html>busy</html>\n") << Reader::State::Failed << Reader::Error::NotAList << 0;
    QTest::newRow("count not a number") << QByteArray("@@@\ntwo\n+++\n") << Reader::State::Failed << Reader::Error::BadCount << 0;
    QTest::newRow("count negative") << QByteArray("@@@\n-1\n+++\n") << Reader::State::Failed << Reader::Error::BadCount << 0;
    QTest::newRow("ends early") << QByteArray(kTwo).replace("@@@\n2\n", "@@@\n3\n") << Reader::State::Failed
                                << Reader::Error::CountMismatch << 0;
    QTest::newRow("more than announced") << QByteArray(kTwo).replace("@@@\n2\n", "@@@\n1\n") << Reader::State::Failed
                                         << Reader::Error::CountMismatch << 0;
    QTest::newRow("id not a number") << QByteArray(kTwo).replace("123456", "12x456") << Reader::State::Failed
                                     << Reader::Error::BadId << 0;
    QTest::newRow("id too big") << QByteArray(kTwo).replace("123456", "4294967296") << Reader::State::Failed
                                << Reader::Error::BadId << 0;
    QTest::newRow("address short") << QByteArray(kTwo).replace("10.0.0.1", "10.0.1") << Reader::State::Failed
                                   << Reader::Error::BadAddress << 0;
    QTest::newRow("address octet") << QByteArray(kTwo).replace("10.0.0.1", "10.0.0.256") << Reader::State::Failed
                                   << Reader::Error::BadAddress << 0;
    QTest::newRow("address host name") << QByteArray(kTwo).replace("10.0.0.1", "example.org") << Reader::State::Failed
                                       << Reader::Error::BadAddress << 0;
    QTest::newRow("address ipv6") << QByteArray(kTwo).replace("10.0.0.1", "::1") << Reader::State::Failed
                                  << Reader::Error::BadAddress << 0;
    QTest::newRow("empty callsign") << QByteArray(kTwo).replace("LB2XYZ", "\x01") << Reader::State::Failed
                                    << Reader::Error::BadCallsign << 0;

    const QByteArray longest(1024, 'D');
    QTest::newRow("line of 1024 with crlf") << QByteArray("@@@\r\n1\r\nA1A\r\n" + longest + "\r\n1\r\n1.2.3.4\r\n+++\r\n")
                                            << Reader::State::Done << Reader::Error::None << 1;
    QTest::newRow("line of 1025") << QByteArray("@@@\n1\nA1A\n" + longest + "D\n1\n1.2.3.4\n+++\n") << Reader::State::Failed
                                  << Reader::Error::LineTooLong << 0;
    QTest::newRow("endless line") << QByteArray(100 * 1024, 'X') << Reader::State::Failed << Reader::Error::LineTooLong << 0;
    QTest::newRow("too many entries") << QByteArray("@@@\n100001\n") << Reader::State::Failed << Reader::Error::TooManyEntries << 0;
}

void TestDirectory::readsLists()
{
    QFETCH(QByteArray, input);
    QFETCH(Reader::State, state);
    QFETCH(Reader::Error, error);
    QFETCH(int, count);

    // Whole, and one byte at a time: the reader must not care where the reads split.
    Reader whole;
    whole.feed(input);
    QCOMPARE(whole.finish(), state);
    QCOMPARE(whole.error(), error);
    QCOMPARE(whole.errorDetail().isEmpty(), error == Reader::Error::None);
    QCOMPARE(whole.takeStations().size(), count);

    Reader bytewise;
    QCOMPARE(feedBytewise(bytewise, input), state);
    QCOMPARE(bytewise.error(), error);
    QCOMPARE(bytewise.takeStations().size(), count);
}

void TestDirectory::stationFields()
{
    Reader reader;
    QCOMPARE(reader.feed(kTwo), Reader::State::Done);
    const QList<DirectoryStation> two = reader.takeStations();
    QCOMPARE(two.size(), 2);
    QCOMPARE(two[0].callsign, QStringLiteral("LA1ABC-L"));
    QCOMPARE(two[0].description, QStringLiteral("Oslo, Norway"));
    QCOMPARE(two[0].status, QStringLiteral("ON"));
    QCOMPARE(two[0].time, QStringLiteral("12:34"));
    QCOMPARE(two[0].id, 123456u);
    QCOMPARE(two[0].address, QHostAddress(QStringLiteral("10.0.0.1")));
    QCOMPARE(two[1].status, QStringLiteral("BUSY"));
    QCOMPARE(two[1].time, QStringLiteral("01:02"));
    QCOMPARE(two[1].id, 7u);

    // Long descriptions stay whole up to the display cut; control characters go; text that is not
    // UTF-8 is read in the Windows code page.
    const QByteArray longLocation = QByteArray(600, 'L');
    Reader odd;
    odd.feed("@@@\n4\n"
             "x1\ttab\n" + longLocation + " [ON 23:59]\n1\n1.2.3.4\n"
             "X2\nTroms\xf8 \x93\x80\x94 \x1b[31mred\x7f [ON]\n2\n0.0.0.0\n"
             "X3\nNo suffix at all\n3\n255.255.255.255\n"
             "X4\nBrackets [not a status] here\n4294967295\n1.2.3.4\n+++\n");
    QCOMPARE(odd.finish(), Reader::State::Done);
    const QList<DirectoryStation> s = odd.takeStations();
    QCOMPARE(s[0].callsign, QStringLiteral("X1TAB"));
    QCOMPARE(s[0].description, QString(kDisplayChars, QLatin1Char('L')));
    QCOMPARE(s[0].time, QStringLiteral("23:59"));
    QCOMPARE(s[1].description, QStringLiteral("Troms\u00f8 \u201c\u20ac\u201d [31mred"));
    QCOMPARE(s[1].status, QStringLiteral("ON"));
    QVERIFY(s[1].time.isEmpty());
    QCOMPARE(s[2].description, QStringLiteral("No suffix at all"));
    QVERIFY(s[2].status.isEmpty());
    QCOMPARE(s[3].description, QStringLiteral("Brackets [not a status] here"));
    QCOMPARE(s[3].id, 4294967295u);

    // The display cut never splits a character made of two UTF-16 units.
    const QString emoji = QString(kDisplayChars - 1, QLatin1Char('a')) + QStringLiteral("\U0001F600");
    QCOMPARE(cutText(emoji, kDisplayChars).size(), kDisplayChars - 1);
}

void TestDirectory::limits()
{
    // Well-formed entries past 32 MiB: refused at the limit, and nothing partial kept.
    QByteArray entries;
    for (int i = 0; entries.size() < 64 * 1024; ++i)
        entries += "C" + QByteArray::number(i) + "\n" + QByteArray(1000, 'D') + " [ON 12:34]\n1\n1.2.3.4\n";
    Reader reader;
    reader.feed("@@@\n100000\n");
    qint64 fed = 0;
    while (reader.feed(entries) == Reader::State::NeedMore && fed < 40LL * 1024 * 1024)
        fed += entries.size();
    QCOMPARE(reader.state(), Reader::State::Failed);
    QCOMPARE(reader.error(), Reader::Error::ReplyTooLarge);
    QVERIFY(reader.tooLarge());
    QVERIFY(fed >= 32LL * 1024 * 1024 - entries.size());
    QVERIFY(reader.takeStations().isEmpty());
    // A failed reader stays failed.
    QCOMPARE(reader.feed("+++\n"), Reader::State::Failed);
    QCOMPARE(reader.finish(), Reader::State::Failed);

    // Smaller limits are honoured as given.
    Reader small(ListLimits{16, 1, 64});
    QCOMPARE(small.feed("@@@\n2\n"), Reader::State::Failed);
    QCOMPARE(small.error(), Reader::Error::TooManyEntries);
    Reader tiny(ListLimits{16, 10, 20});
    QCOMPARE(tiny.feed("@@@\n1\nA\nB\n1\n1.2.3.4\n+++\n"), Reader::State::Failed);
    QCOMPARE(tiny.error(), Reader::Error::ReplyTooLarge);
}

void TestDirectory::loginTexts()
{
    const QTime time(9, 5);
    QCOMPARE(encodeLogin(QStringLiteral("n0call-l"), QStringLiteral("pw"), DirectoryStatus::Online, time,
                         QStringLiteral("Oslo")),
             QByteArray("lN0CALL-L\xac\xacpw\rONLINE3.40(09:05)\rOslo\r"));
    QCOMPARE(encodeLogin(QStringLiteral("N0CALL"), QString(), DirectoryStatus::Busy, QTime(23, 59), QString()),
             QByteArray("lN0CALL\xac\xac\rBUSY3.40(23:59)\r\r"));
    QCOMPARE(encodeLogin(QStringLiteral("N0CALL"), QStringLiteral("pw"), DirectoryStatus::Offline, time, QStringLiteral("x")),
             QByteArray("lN0CALL\xac\xacpw\rOFF-V3.40(09:05)\rx\r"));
    // Line breaks in a field would start a new field on the server.
    QCOMPARE(encodeLogin(QStringLiteral("N0CALL\r"), QStringLiteral("p\rw"), DirectoryStatus::Online, time,
                         QStringLiteral("two\r\nlines")),
             QByteArray("lN0CALL\xac\xacpw\rONLINE3.40(09:05)\rtwolines\r"));
    QCOMPARE(encodeListRequest(), QByteArray("s"));
}

void TestDirectory::loginReplies_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("reason");

    const int more = int(LoginReply::State::NeedMore);
    const int ok = int(LoginReply::State::Accepted);
    const int refused = int(LoginReply::State::Refused);
    QTest::newRow("ok") << QByteArray("OK") << false << ok << QString();
    QTest::newRow("ok and more") << QByteArray("OK2.6.1234\r\n") << false << ok << QString();
    QTest::newRow("nothing yet") << QByteArray() << false << more << QString();
    QTest::newRow("half an ok") << QByteArray("O") << false << more << QString();
    QTest::newRow("half an ok, closed") << QByteArray("O") << true << refused << QStringLiteral("O");
    QTest::newRow("line not ended") << QByteArray("Bad pass") << false << more << QString();
    QTest::newRow("reason") << QByteArray("Bad password\r\nmore") << false << refused << QStringLiteral("Bad password");
    QTest::newRow("reason at close") << QByteArray("Not validated") << true << refused << QStringLiteral("Not validated");
    QTest::newRow("control characters") << QByteArray("No\x07 \x1b[1mway\n") << false << refused << QStringLiteral("No [1mway");
    // A right-to-left override would turn the rest of the status line round.
    QTest::newRow("direction controls") << QByteArray("\xe2\x80\xae" "deifilaV\xe2\x81\xa6 \xe2\x80\x8fok\n") << false << refused
                                         << QStringLiteral("deifilaV ok");
    QTest::newRow("endless") << QByteArray(600, 'Z') << false << refused << QString(kReasonChars, QLatin1Char('Z'));
    QTest::newRow("closed silently") << QByteArray() << true << refused << QString();
}

void TestDirectory::loginReplies()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, complete);
    QFETCH(int, state);
    QFETCH(QString, reason);
    const LoginReply read = readLoginReply(reply, complete);
    QCOMPARE(int(read.state), state);
    QCOMPARE(read.reason, reason);
}

void TestDirectory::loginAndList()
{
    FakeDirectory fake;
    QVERIFY2(fake.listen(kFakeAddress, kFakePort), qPrintable(fake.errorString()));
    fake.setStations(threeStations());
    DirectoryClient client(options({fake.server()}));
    Outcome outcome(client);

    // Asked together: both run, one after the other, in order.
    client.login(DirectoryStatus::Online);
    client.refreshStations();
    QVERIFY(outcome.wait(2, 5000));
    QCOMPARE(outcome.message(), QString());
    QCOMPARE(outcome.loggedIn.size(), 1);
    QCOMPARE(outcome.loggedIn.at(0).at(0).value<DirectoryStatus>(), DirectoryStatus::Online);
    QCOMPARE(outcome.updated.size(), 1);
    QCOMPARE(client.lastStatus(), DirectoryStatus::Online);

    QCOMPARE(fake.logins().size(), 1);
    QCOMPARE(fake.logins()[0].callsign, QStringLiteral("N0CALL-L"));
    QCOMPARE(fake.logins()[0].password, QStringLiteral("secret"));
    QCOMPARE(fake.logins()[0].status, QStringLiteral("ONLINE3.40"));
    QCOMPARE(fake.logins()[0].time.size(), 5);
    QCOMPARE(fake.logins()[0].description, QStringLiteral("Test bench"));

    QCOMPARE(client.stations().size(), 3);
    const auto peer = client.find(QStringLiteral("peer-l"));
    QVERIFY(peer);
    QCOMPARE(peer->address, QHostAddress(QStringLiteral("127.0.0.2")));
    QCOMPARE(peer->id, 4242u);
    QCOMPARE(client.find(QStringLiteral("LA9XX-R"))->status, QStringLiteral("BUSY"));
    QVERIFY(!client.find(QStringLiteral("PEER")));

    // Busy, then logged off; a password set later is the one sent.
    client.setPassword(QStringLiteral("changed"));
    client.login(DirectoryStatus::Busy);
    QVERIFY(outcome.wait(3, 5000));
    client.login(DirectoryStatus::Offline);
    QVERIFY(outcome.wait(4, 5000));
    QCOMPARE(fake.logins().size(), 3);
    QCOMPARE(fake.logins()[1].status, QStringLiteral("BUSY3.40"));
    QCOMPARE(fake.logins()[1].password, QStringLiteral("changed"));
    QCOMPARE(fake.logins()[2].status, QStringLiteral("OFF-V3.40"));
    QCOMPARE(client.lastStatus(), DirectoryStatus::Offline);
    QVERIFY(outcome.failed.isEmpty());
}

void TestDirectory::loginRefused()
{
    FakeDirectory fake;
    QVERIFY2(fake.listen(kFakeAddress, kFakePort), qPrintable(fake.errorString()));
    fake.refuseLogins(QStringLiteral("Bad password\x07"));
    // The same server twice: a refusal is the account's answer, so no second try.
    DirectoryClient client(options({fake.server(), fake.server()}));
    Outcome outcome(client);
    client.login(DirectoryStatus::Online);
    QVERIFY(outcome.wait(1, 5000));
    QCOMPARE(outcome.message(), QStringLiteral("Directory login refused: Bad password"));
    QCOMPARE(fake.connectionCount(), 1);
    QCOMPARE(client.lastStatus(), DirectoryStatus::Offline);

    DirectoryClient nobody(options({fake.server()}));
    Outcome none(nobody);
    nobody.login(DirectoryStatus::Online);
    QVERIFY(none.wait(1, 5000));
    QCOMPARE(none.message().section(QLatin1Char(':'), 0, 0), QStringLiteral("Directory login refused"));
    DirectoryClient::Options noCall = options({fake.server()});
    noCall.callsign.clear();
    DirectoryClient anonymous(noCall);
    Outcome anon(anonymous);
    anonymous.login(DirectoryStatus::Online);
    QVERIFY(anon.wait(1, 1000));
    QCOMPARE(anon.message(), QStringLiteral("Directory login needs a callsign"));

    DirectoryClient noServers(options({}));
    Outcome empty(noServers);
    noServers.refreshStations();
    QVERIFY(empty.wait(1, 1000));
    QCOMPARE(empty.message(), QStringLiteral("No directory server configured"));
}

void TestDirectory::serversInTurn()
{
    FakeDirectory fake;
    QVERIFY2(fake.listen(kFakeAddress, kFakePort), qPrintable(fake.errorString()));
    fake.setStations(threeStations());
    FakeDirectory silent;
    QVERIFY2(silent.listen(kFakeAddress, kClosedPort + 1), qPrintable(silent.errorString()));
    silent.setMode(FakeDirectory::Mode::Silent);
    const QString closed = QStringLiteral("127.0.0.3:%1").arg(kClosedPort);

    // A bad entry, a closed port and a server that never answers, then a working one.
    DirectoryClient client(options({QStringLiteral("127.0.0.3:99999"), closed, silent.server(), fake.server()}, 800));
    Outcome outcome(client);
    client.refreshStations();
    QVERIFY(outcome.wait(1, 8000));
    QCOMPARE(outcome.message(), QString());
    QCOMPARE(client.stations().size(), 3);
    QCOMPARE(silent.connectionCount(), 1);
    // The server that answered is asked first next time.
    client.refreshStations();
    QVERIFY(outcome.wait(2, 5000));
    QCOMPARE(outcome.updated.size(), 2);
    QCOMPARE(fake.connectionCount(), 2);
    QCOMPARE(silent.connectionCount(), 1);

    // Nothing reachable: the message names the server and the reason.
    DirectoryClient lost(options({closed}));
    Outcome failure(lost);
    lost.refreshStations();
    QVERIFY(failure.wait(1, 5000));
    QVERIFY2(failure.message().startsWith(QStringLiteral("Directory server unreachable: 127.0.0.3:15201 (")),
             qPrintable(failure.message()));

    // Host names work, with the default port when none is given.
    DirectoryClient::Options named = options({QStringLiteral("localhost")});
    named.defaultPort = kClosedPort;
    DirectoryClient byName(named);
    Outcome nameFailure(byName);
    byName.refreshStations();
    QVERIFY(nameFailure.wait(1, 5000));
    QVERIFY2(nameFailure.message().startsWith(QStringLiteral("Directory server unreachable: localhost:15201")),
             qPrintable(nameFailure.message()));
}

void TestDirectory::misbehavingServer_data()
{
    QTest::addColumn<FakeDirectory::Mode>("mode");
    QTest::addColumn<QString>("listError");
    QTest::addColumn<QString>("loginError");
    QTest::addColumn<int>("timeoutMs");

    const QString tooLarge = QStringLiteral("Directory reply too large");
    const QString refused = QStringLiteral("Directory login refused");
    const QString silent = QStringLiteral("Directory server not answering");
    QTest::newRow("oversized") << FakeDirectory::Mode::Oversized << tooLarge << refused << 800;
    // Reading 32 MiB may take a while on a slow build: a time-out that is no excuse.
    QTest::newRow("flood") << FakeDirectory::Mode::Flood << tooLarge << refused << 30000;
    QTest::newRow("truncated") << FakeDirectory::Mode::Truncated << QStringLiteral("Directory reply truncated")
                               << QStringLiteral("Directory server closed the connection without answering") << 800;
    QTest::newRow("garbage") << FakeDirectory::Mode::Garbage << QStringLiteral("Directory reply garbled") << refused << 800;
    QTest::newRow("silent") << FakeDirectory::Mode::Silent << silent << silent << 800;
    QTest::newRow("slow") << FakeDirectory::Mode::Slow << silent << silent << 800;
}

void TestDirectory::misbehavingServer()
{
    QFETCH(FakeDirectory::Mode, mode);
    QFETCH(QString, listError);
    QFETCH(QString, loginError);
    QFETCH(int, timeoutMs);
    FakeDirectory fake;
    QVERIFY2(fake.listen(kFakeAddress, kFakePort), qPrintable(fake.errorString()));
    fake.setStations(threeStations());
    fake.setTrickle(1, 1000); // slower than the time-out, even for "OK"
    DirectoryClient client(options({fake.server()}, timeoutMs));
    Outcome outcome(client);
    client.refreshStations();
    QVERIFY(outcome.wait(1, 5000));
    QCOMPARE(client.stations().size(), 3);

    fake.setMode(mode);
    qint64 sentAtFirstFailure = -1;
    connect(&client, &DirectoryClient::failed, this, [&] {
        if (sentAtFirstFailure < 0)
            sentAtFirstFailure = fake.bytesSent();
    });
    QElapsedTimer clock;
    clock.start();
    client.refreshStations();
    client.login(DirectoryStatus::Online);
    // Each ends by the time-out at the latest; the margin is for a loaded machine.
    QVERIFY(outcome.wait(3, 2 * timeoutMs + 5000));
    QVERIFY(clock.elapsed() < 2 * timeoutMs + 5000);
    QCOMPARE(outcome.failed.size(), 2);
    QVERIFY(outcome.loggedIn.isEmpty());
    const QString list = outcome.failed.at(0).at(0).toString();
    const QString login = outcome.failed.at(1).at(0).toString();
    QVERIFY2(list.startsWith(listError + QLatin1Char(':')), qPrintable(list));
    QVERIFY2(login.startsWith(loginError + QLatin1Char(':')), qPrintable(login));
    // Messages are short and printable whatever the server sent.
    for (const QString &message : {list, login}) {
        QVERIFY2(message.size() < 300, qPrintable(message));
        QVERIFY(std::none_of(message.begin(), message.end(), [](QChar c) { return c.category() == QChar::Other_Control; }));
    }
    // The last good list stays; a bad reply never replaces it with part of one.
    QCOMPARE(client.stations().size(), 3);
    QVERIFY(client.find(QStringLiteral("PEER-L")));
    // The client hangs up instead of reading a 64 MiB flood to its end.
    QVERIFY2(sentAtFirstFailure < 60LL * 1024 * 1024, qPrintable(QString::number(sentAtFirstFailure)));
    QTRY_COMPARE_WITH_TIMEOUT(fake.openConnections(), 0, 5000);
}

void TestDirectory::slowButInTime()
{
    FakeDirectory fake;
    QVERIFY2(fake.listen(kFakeAddress, kFakePort), qPrintable(fake.errorString()));
    fake.setStations(threeStations());
    fake.setMode(FakeDirectory::Mode::Slow);
    fake.setTrickle(16, 5);
    DirectoryClient client(options({fake.server()}, 5000));
    Outcome outcome(client);
    client.login(DirectoryStatus::Busy);
    client.refreshStations();
    QVERIFY(outcome.wait(2, 8000));
    QCOMPARE(outcome.message(), QString());
    QCOMPARE(client.lastStatus(), DirectoryStatus::Busy);
    QCOMPARE(client.stations().size(), 3);
}

void TestDirectory::receiverDeletesClient()
{
    FakeDirectory fake;
    QVERIFY2(fake.listen(kFakeAddress, kFakePort), qPrintable(fake.errorString()));
    fake.setStations(threeStations());

    // A receiver may delete the client from its slot, with more requests queued.
    auto *client = new DirectoryClient(options({fake.server()}));
    QPointer<DirectoryClient> watch(client);
    connect(client, &DirectoryClient::loggedIn, this, [client] { delete client; });
    client->login(DirectoryStatus::Online);
    client->refreshStations();
    QTRY_VERIFY_WITH_TIMEOUT(watch.isNull(), 5000);
    QCOMPARE(fake.listRequests(), 0);

    // ... also on a failure from the time-out or from the socket.
    fake.setMode(FakeDirectory::Mode::Silent);
    for (const QString &server : {fake.server(), QStringLiteral("127.0.0.3:%1").arg(kClosedPort)}) {
        auto *failing = new DirectoryClient(options({server}, 200));
        QPointer<DirectoryClient> gone(failing);
        connect(failing, &DirectoryClient::failed, this, [failing] { delete failing; });
        failing->refreshStations();
        failing->login(DirectoryStatus::Online);
        QTRY_VERIFY_WITH_TIMEOUT(gone.isNull(), 5000);
    }
    fake.setMode(FakeDirectory::Mode::Normal);

    // A receiver may start the next request from its slot.
    DirectoryClient again(options({fake.server()}));
    Outcome outcome(again);
    connect(&again, &DirectoryClient::stationsUpdated, this, [&again] {
        if (again.stations().size() == 3)
            again.login(DirectoryStatus::Online);
    });
    again.refreshStations();
    QVERIFY(outcome.wait(2, 5000));
    QCOMPARE(outcome.loggedIn.size(), 1);

    // Deleted in the middle of a conversation: nothing left behind fires.
    fake.setMode(FakeDirectory::Mode::Silent);
    auto *busy = new DirectoryClient(options({fake.server()}, 200));
    busy->refreshStations();
    QTRY_COMPARE_WITH_TIMEOUT(fake.openConnections(), 1, 5000);
    delete busy;
    QTRY_COMPARE_WITH_TIMEOUT(fake.openConnections(), 0, 5000);
    QTest::qWait(300);
}

QTEST_GUILESS_MAIN(TestDirectory)
#include "test_directory.moc"
