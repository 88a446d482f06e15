// The statistics report: the form POST on the wire, its encoding, its failures, and that
// start-up never waits for it. Everything runs against a local server on 127.0.0.1.
#include "CoreTestKit.h"

#include "core/ServerAddresses.h"
#include "core/http/Http.h"

#include "BuildConfig.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>

using namespace tavrin;
using namespace tavrin::test;

namespace {

const QByteArray kPath = "/QX/stats.php";

QString expectedVersion()
{
    return QStringLiteral("%1.%2.%3").arg(TAVRIN_VERSION_MAJOR).arg(TAVRIN_VERSION_MINOR).arg(TAVRIN_VERSION_REVISION);
}

// Decoded form fields in the order they were sent.
QList<QPair<QString, QString>> formFields(const QByteArray &body)
{
    QList<QPair<QString, QString>> fields;
    for (const QByteArray &pair : body.split('&')) {
        const qsizetype eq = pair.indexOf('=');
        fields.append({QString::fromUtf8(QByteArray::fromPercentEncoding(pair.left(eq))),
                       QString::fromUtf8(QByteArray::fromPercentEncoding(pair.mid(eq + 1)))});
    }
    return fields;
}

// Sends one form and waits for its answer.
QString post(Http &http, const QString &host, const QList<QPair<QString, QString>> &fields, bool *answered = nullptr)
{
    QSignalSpy spy(&http, &Http::finished);
    http.PostBegin(host, QString::fromLatin1(kPath));
    for (const auto &[name, value] : fields)
        http.PostAddField(name, value);
    http.PostSend();
    const bool done = spy.count() == 1 || spy.wait(15000);
    if (answered)
        *answered = done && spy.count() == 1;
    return done && !spy.isEmpty() ? spy.first().first().toString() : QStringLiteral("<no answer>");
}

struct StatisticsRig : Rig {
    StatisticsRig(const QString &dir, const LocalHttpServer &server) : Rig(dir)
    {
        options.servers.statisticsHost = server.hostAndPort();
        options.transferTimeoutMs = 300;
    }
};

} // namespace

class StatisticsTest : public QObject {
    Q_OBJECT
private slots:
    void postCarriesTheFormAsSent()
    {
        LocalHttpServer server;
        QVERIFY(server.isListening());
        server.setBody(kPath, "thanks");
        Http http;

        bool answered = false;
        const QString answer = post(http, server.hostAndPort(),
                                    {{"Callsign", "XX1TST-L"}, {"Program", "Tavrin"}, {"Ver", "1.2.2"}}, &answered);
        QVERIFY(answered);
        QCOMPARE(answer, QStringLiteral("thanks"));
        QVERIFY(!http.isRunning());

        QCOMPARE(server.requests().size(), 1);
        const HttpRequest &r = server.requests().first();
        QCOMPARE(r.method, QByteArray("POST"));
        QCOMPARE(r.path, kPath);
        QCOMPARE(r.header("Content-Type"), QByteArray("application/x-www-form-urlencoded"));
        QCOMPARE(r.header("User-Agent"), QByteArray(TAVRIN_PRODUCT_NAME));
        QCOMPARE(r.body, QByteArray("Callsign=XX1TST-L&Program=Tavrin&Ver=1.2.2"));
        QCOMPARE(r.header("Content-Length"), QByteArray::number(r.body.size()));
    }

    void valuesAreEncodedSoTheyCannotForgeFields()
    {
        LocalHttpServer server;
        server.setBody(kPath, "ok");
        Http http;
        const QString hostile = QStringLiteral("XX1 TST&Ver=9.9.9+x%");
        post(http, server.hostAndPort(), {{"Callsign", hostile}, {"Name with space", "a=b"}});
        QVERIFY(server.waitForRequests(1));
        const QByteArray body = server.requests().first().body;
        QCOMPARE(body, QByteArray("Callsign=XX1%20TST%26Ver%3D9.9.9%2Bx%25&Name%20with%20space=a%3Db"));
        const auto fields = formFields(body);
        QCOMPARE(fields.size(), 2);
        QCOMPARE(fields.at(0), (QPair<QString, QString>{"Callsign", hostile}));

        // Non-Latin text arrives as UTF-8, intact.
        post(http, server.hostAndPort(), {{"Callsign", QStringLiteral("Ä\u00df")}});
        QVERIFY(server.waitForRequests(2));
        QCOMPARE(formFields(server.requests().at(1).body).first().second, QStringLiteral("Ä\u00df"));
    }

    void noCookieIsKeptBetweenRequests()
    {
        LocalHttpServer server;
        HttpResponse withCookie;
        withCookie.headers.append(qMakePair(QByteArray("Set-Cookie"), QByteArray("visitor=42; Path=/")));
        withCookie.body = "ok";
        server.setResponse(kPath, withCookie);
        Http http;
        post(http, server.hostAndPort(), {{"a", "1"}});
        post(http, server.hostAndPort(), {{"a", "2"}});
        QVERIFY(server.waitForRequests(2));
        QVERIFY(server.requests().at(1).header("Cookie").isEmpty());
    }

    void everyFailureAnswersEmpty_data()
    {
        QTest::addColumn<HttpResponse>("response");
        HttpResponse notFound;
        notFound.status = 404;
        notFound.reason = "Not Found";
        notFound.body = "missing page";
        QTest::newRow("404 with a body") << notFound;

        HttpResponse serverError = notFound;
        serverError.status = 500;
        serverError.reason = "Internal Server Error";
        QTest::newRow("500") << serverError;

        HttpResponse cut;
        cut.body = QByteArray(4096, 'x');
        cut.closeAfterBytes = 100;
        QTest::newRow("closed mid-transfer") << cut;

        HttpResponse huge;
        huge.body = QByteArray(Http::kMaxAnswerBytes + 1, 'y');
        QTest::newRow("answer over the cap") << huge;
    }

    void everyFailureAnswersEmpty()
    {
        QFETCH(HttpResponse, response);
        LocalHttpServer server;
        server.setResponse(kPath, response);
        Http http;
        bool answered = false;
        QCOMPARE(post(http, server.hostAndPort(), {{"Callsign", "X"}}, &answered), QString());
        QVERIFY(answered);
        QVERIFY(!http.isRunning());
    }

    void answerWithoutLengthEndsAtClose()
    {
        LocalHttpServer server;
        HttpResponse open;
        open.body = QByteArray(3000, 'z');
        open.omitContentLength = true;
        server.setResponse(kPath, open);
        Http http;
        QCOMPARE(post(http, server.hostAndPort(), {{"a", "b"}}), QString(3000, QLatin1Char('z')));
    }

    void unusableHostAnswersEmptyButNeverAtOnce_data()
    {
        QTest::addColumn<QString>("host");
        QTest::newRow("closed port") << QStringLiteral("127.0.0.1:1");
        QTest::newRow("empty") << QString();
        QTest::newRow("space in name") << QStringLiteral("bad host");
    }

    void unusableHostAnswersEmptyButNeverAtOnce()
    {
        QFETCH(QString, host);
        Http http;
        QSignalSpy spy(&http, &Http::finished);
        http.PostBegin(host, QString::fromLatin1(kPath));
        http.PostAddField("a", "b");
        http.PostSend();
        // The caller goes on before any answer, even one known at once.
        QCOMPARE(spy.count(), 0);
        QVERIFY(spy.wait(15000));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.first().first().toString(), QString());
    }

    void stalledOrTricklingServerIsGivenUpAfterTheTransferTimeOut()
    {
        // Silent, or never silent for long yet never done: both end at the time-out.
        for (const bool trickle : {false, true}) {
            LocalHttpServer server;
            HttpResponse slow;
            slow.stall = !trickle;
            slow.body = QByteArray(100000, 'x');
            slow.trickleMs = trickle ? 50 : 0;
            server.setResponse(kPath, slow);
            Http http;
            QCOMPARE(http.transferTimeout(), 10000);
            http.setTransferTimeout(300);
            QSignalSpy spy(&http, &Http::finished);
            http.PostBegin(server.hostAndPort(), QString::fromLatin1(kPath));
            http.PostSend();
            QVERIFY(server.waitForRequests(1));
            QVERIFY(http.isRunning());
            QVERIFY(spy.wait(10000));
            QCOMPARE(spy.first().first().toString(), QString());
            QVERIFY(!http.isRunning());
            QTRY_COMPARE(server.openConnections(), 0); // the connection was dropped
        }
    }

    void destroyingARunningRequestIsQuiet()
    {
        LocalHttpServer server;
        HttpResponse stalled;
        stalled.stall = true;
        server.setResponse(kPath, stalled);
        int answers = 0;
        {
            Http http;
            connect(&http, &Http::finished, this, [&answers] { ++answers; });
            http.PostBegin(server.hostAndPort(), QString::fromLatin1(kPath));
            http.PostSend();
            QVERIFY(server.waitForRequests(1));
        }
        QTest::qWait(50);
        QCOMPARE(answers, 0);
    }

    // --- the main window's report at start-up ------------------------------------------

    void startUpReportsCallsignProgramAndVersion()
    {
        LocalHttpServer server;
        server.setBody(kPath, "ok");
        QTemporaryDir dir;
        StatisticsRig rig(dir.path(), server);
        rig.backend.localCallsign = QStringLiteral("XX1 A&B");
        QVERIFY(rig.start());
        QVERIFY(server.waitForRequests(1));
        QCOMPARE(server.requests().size(), 1);
        const HttpRequest &r = server.requests().first();
        QCOMPARE(r.method, QByteArray("POST"));
        QCOMPARE(r.path, kPath);
        QCOMPARE(r.header("Content-Type"), QByteArray("application/x-www-form-urlencoded"));
        QCOMPARE(r.body, "Callsign=XX1%20A%26B&Program=Tavrin&Ver=" + expectedVersion().toLatin1());
        // The answer changes nothing on screen.
        QCOMPARE(rig.window()->findChild<QLabel *>("StatusLine")->text(), QString());
    }

    void withoutAClientTheCallsignFieldKeepsItsInitialText()
    {
        LocalHttpServer server;
        server.setBody(kPath, "ok");
        QTemporaryDir dir;
        StatisticsRig rig(dir.path(), server);
        rig.backend.clientExists = false;
        QVERIFY(rig.start());
        QVERIFY(server.waitForRequests(1));
        QCOMPARE(formFields(server.requests().first().body),
                 (QList<QPair<QString, QString>>{{"Callsign", "Callsign"}, {"Program", "Tavrin"}, {"Ver", expectedVersion()}}));
    }

    void startUpNeverWaitsForAStalledServer()
    {
        LocalHttpServer server;
        HttpResponse stalled;
        stalled.stall = true;
        server.setResponse(kPath, stalled);
        QTemporaryDir dir;
        StatisticsRig rig(dir.path(), server);
        QVERIFY(rig.start());
        // start() is back before the server has even seen the request.
        QVERIFY(server.requests().isEmpty());
        QVERIFY(rig.window()->isVisible());
        Http *report = rig.window()->statisticsReport();
        QVERIFY(report);
        QCOMPARE(report->parent(), rig.window());
        QSignalSpy spy(report, &Http::finished);
        QVERIFY(server.waitForRequests(1));
        QVERIFY(report->isRunning());
        // The window keeps working meanwhile.
        rig.find<QPushButton>("Command12")->click();
        QCOMPARE(rig.window()->activeBand(), 2);
        // Then the time-out ends the request, quietly.
        QVERIFY(spy.wait(10000));
        QCOMPARE(spy.first().first().toString(), QString());
        QCOMPARE(rig.window()->findChild<QLabel *>("StatusLine")->text(), QString());
    }

    void programEndsWhileTheReportRuns()
    {
        LocalHttpServer server;
        HttpResponse stalled;
        stalled.stall = true;
        server.setResponse(kPath, stalled);
        QTemporaryDir dir;
        auto rig = std::make_unique<StatisticsRig>(dir.path(), server);
        rig->options.transferTimeoutMs = 60000;
        QVERIFY(rig->start());
        QVERIFY(server.waitForRequests(1));
        QVERIFY(rig->window()->statisticsReport()->isRunning());
        rig.reset(); // must neither hang nor crash
        QTest::qWait(50);
    }

    void noStatisticsHostSendsNothing()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        rig.options.servers.statisticsHost.clear();
        QVERIFY(rig.start());
        QVERIFY(!rig.window()->statisticsReport());
    }

    // --- where the addresses come from --------------------------------------------------

    void environmentOverridesTheBuildDefaults()
    {
        const ServerAddresses defaults = ServerAddresses::buildDefaults();
        QVERIFY(!defaults.statisticsHost.isEmpty());
        QVERIFY(!defaults.versionFileUrl.isEmpty());
        QVERIFY(!defaults.downloadUrl.isEmpty());
        QVERIFY(!defaults.webUrl.isEmpty());
        QVERIFY(!defaults.mailAddress.isEmpty());

        const char *variables[] = {ServerAddresses::kStatisticsHostVariable, ServerAddresses::kVersionFileUrlVariable,
                                   ServerAddresses::kDownloadUrlVariable, ServerAddresses::kWebUrlVariable,
                                   ServerAddresses::kMailAddressVariable};
        QList<QByteArray> saved;
        for (const char *v : variables)
            saved.append(qgetenv(v));

        for (const char *v : variables)
            qputenv(v, QByteArray("set-") + v);
        ServerAddresses a = ServerAddresses::fromBuildAndEnvironment();
        QCOMPARE(a.statisticsHost, QStringLiteral("set-TAVRIN_STATS_HOST"));
        QCOMPARE(a.versionFileUrl, QStringLiteral("set-TAVRIN_VERSION_URL"));
        QCOMPARE(a.downloadUrl, QStringLiteral("set-TAVRIN_DOWNLOAD_URL"));
        QCOMPARE(a.webUrl, QStringLiteral("set-TAVRIN_WEB_URL"));
        QCOMPARE(a.mailAddress, QStringLiteral("set-TAVRIN_MAIL_ADDRESS"));

        // Set but empty counts as not set.
        for (const char *v : variables)
            qputenv(v, QByteArray());
        a = ServerAddresses::fromBuildAndEnvironment();
        QCOMPARE(a.statisticsHost, defaults.statisticsHost);
        QCOMPARE(a.mailAddress, defaults.mailAddress);

        for (int i = 0; i < saved.size(); ++i)
            qputenv(variables[i], saved.at(i));
    }

    void testRunsPointEveryAddressAtLoopback()
    {
        // The suite's environment and the test kit keep every run off the network.
        const ServerAddresses fromEnvironment = ServerAddresses::fromBuildAndEnvironment();
        for (const ServerAddresses &a : {fromEnvironment, closedLoopbackServers()}) {
            QVERIFY2(a.statisticsHost.startsWith("127.0.0.1:"), qPrintable(a.statisticsHost));
            QVERIFY(a.versionFileUrl.startsWith("http://127.0.0.1:"));
            QVERIFY(a.downloadUrl.startsWith("http://127.0.0.1:"));
            QVERIFY(a.webUrl.startsWith("http://127.0.0.1:"));
        }
    }
};

QTEST_MAIN(StatisticsTest)
#include "test_statistics.moc"
