// The remote-control texts without any window: frequency format and steps, the command
// line, the display clean-up, the point rule, the chat recognisers and answers, time texts.
#include "protocol/FrequencyText.h"
#include "protocol/RemoteProtocol.h"
#include "protocol/TimeTexts.h"

#include "BuildConfig.h"

#include <QLocale>
#include <QRegularExpression>
#include <QTest>

using namespace tavrin::remote;

class RemoteTextTest : public QObject {
    Q_OBJECT
private slots:
    void frequencyFormat_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("formatted");
        QTest::addColumn<bool>("number");
        QTest::newRow("two decimals") << "14.23" << "14.2300" << true;
        QTest::newRow("one decimal") << "7.1" << "7.1000" << true;
        QTest::newRow("below one") << "0.5" << ".5000" << true;
        QTest::newRow("negative below one") << "-0.5" << "-.5000" << true;
        QTest::newRow("bare fraction") << ".5" << ".5000" << true;
        QTest::newRow("trailing point") << "5." << "5.0000" << true;
        QTest::newRow("zero") << "0" << ".0000" << true;
        QTest::newRow("leading zeros") << "014.2" << "14.2000" << true;
        QTest::newRow("blanks and sign") << "  + 3.6950 " << "3.6950" << true;
        // Halves round away from zero on the decimal digits, not on a binary double.
        QTest::newRow("half up") << "14.23005" << "14.2301" << true;
        QTest::newRow("half down side") << "14.230049999" << "14.2300" << true;
        QTest::newRow("negative half") << "-14.23005" << "-14.2301" << true;
        QTest::newRow("carry through") << "9.99995" << "10.0000" << true;
        QTest::newRow("tiny negative has no sign") << "-0.00001" << ".0000" << true;
        QTest::newRow("no thousands separator") << "1234567.1" << "1234567.1000" << true;
        QTest::newRow("longer than any integer") << "123456789012345678901234.56789"
                                                 << "123456789012345678901234.5679" << true;
        // Not numbers: unchanged.
        QTest::newRow("empty") << "" << "" << false;
        QTest::newRow("word") << "abc" << "abc" << false;
        QTest::newRow("two points") << "14.2.3" << "14.2.3" << false;
        QTest::newRow("comma") << "14,23" << "14,23" << false;
        QTest::newRow("with unit") << "14.2 USB" << "14.2 USB" << false;
        QTest::newRow("exponent") << "1e3" << "1e3" << false;
        QTest::newRow("point alone") << "." << "." << false;
        QTest::newRow("sign alone") << " - " << " - " << false;
    }
    void frequencyFormat()
    {
        QFETCH(QString, text);
        QFETCH(QString, formatted);
        QCOMPARE(formatFrequency(text), formatted);
        QFETCH(bool, number);
        QCOMPARE(isNumberText(text), number);
    }

    void formatIgnoresTheLocale()
    {
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QString dotted = formatFrequency(QStringLiteral("1234.5"));
        const QString comma = formatFrequency(QStringLiteral("14,5"));
        QLocale::setDefault(before);
        QCOMPARE(dotted, QStringLiteral("1234.5000"));
        QCOMPARE(comma, QStringLiteral("14,5"));
    }

    void stepsAreExact()
    {
        QCOMPARE(addStep(QStringLiteral("7.0000"), -1), std::optional<QString>(QStringLiteral("6.9999")));
        QCOMPARE(addStep(QStringLiteral("14.2300"), 50), std::optional<QString>(QStringLiteral("14.2350")));
        QCOMPARE(addStep(QStringLiteral("14.2"), 100), std::optional<QString>(QStringLiteral("14.2100")));
        QCOMPARE(addStep(QStringLiteral("9.9999"), 1), std::optional<QString>(QStringLiteral("10.0000")));
        QCOMPARE(addStep(QStringLiteral("10.0000"), -1), std::optional<QString>(QStringLiteral("9.9999")));
        // Across zero, both ways.
        QCOMPARE(addStep(QStringLiteral("0.0003"), -5), std::optional<QString>(QStringLiteral("-.0002")));
        QCOMPARE(addStep(QStringLiteral("-0.0001"), 1), std::optional<QString>(QStringLiteral(".0000")));
        QCOMPARE(addStep(QStringLiteral("-1"), 50), std::optional<QString>(QStringLiteral("-.9950")));
        // The sum is rounded, not the parts: 14.23004 + 0.0001 = 14.23014.
        QCOMPARE(addStep(QStringLiteral("14.23004"), 1), std::optional<QString>(QStringLiteral("14.2301")));
        QCOMPARE(addStep(QStringLiteral("14.23005"), 1), std::optional<QString>(QStringLiteral("14.2302")));
        QCOMPARE(addStep(QStringLiteral("14.230049"), 1), std::optional<QString>(QStringLiteral("14.2301")));

        QVERIFY(!addStep(QStringLiteral("abc"), 1));
        QVERIFY(!addStep(QString(), 1));
        QVERIFY(!addStep(QStringLiteral("14.2 MHz"), 1));

        // A thousand small steps land exactly where they should.
        QString f = QStringLiteral("7.0000");
        for (int i = 0; i < 1000; ++i)
            f = *addStep(f, 1);
        QCOMPARE(f, QStringLiteral("7.1000"));
        for (int i = 0; i < 1000; ++i)
            f = *addStep(f, -1);
        QCOMPARE(f, QStringLiteral("7.0000"));
    }

    void commandLineAndDisplay()
    {
        QCOMPARE(frequencyCommandLine(QStringLiteral("14.23"), QTime(9, 5, 7)),
                 QStringLiteral("FN14.2300 MHz  -  09:05:07"));
        QCOMPARE(frequencyCommandLine(QStringLiteral("0.5"), QTime(23, 59, 0)), QStringLiteral("FN.5000 MHz  -  23:59:00"));
        // Text that is no number goes out as typed.
        QCOMPARE(frequencyCommandLine(QStringLiteral("abc"), QTime(0, 0, 1)), QStringLiteral("FNabc MHz  -  00:00:01"));

        QCOMPARE(updateFrequencyDisplayText(QStringLiteral("14.195 usb")), QStringLiteral("14.195"));
        QCOMPARE(updateFrequencyDisplayText(QStringLiteral("<14.200 MHz>")), QStringLiteral("14.200"));
        QCOMPARE(updateFrequencyDisplayText(QStringLiteral("7.1 lsb CW am fm kHz")), QStringLiteral("7.1"));
        // Removal runs in a fixed order: "CW" goes before "AM", so an "AM" inside it leaves one.
        QCOMPARE(updateFrequencyDisplayText(QStringLiteral("CAMW")), QStringLiteral("CW"));
        QCOMPARE(updateFrequencyDisplayText(QStringLiteral("M HZ")), QString());
    }

    void pointRule()
    {
        QVERIFY(canAppendPoint(QString()));
        QVERIFY(canAppendPoint(QStringLiteral("14")));
        QVERIFY(canAppendPoint(QStringLiteral("."))); // a leading point does not count
        QVERIFY(!canAppendPoint(QStringLiteral("..")));
        QVERIFY(!canAppendPoint(QStringLiteral("14.")));
        QVERIFY(!canAppendPoint(QStringLiteral("1.4")));
    }

    void versionQuery()
    {
        QVERIFY(!isVersionQuery(QStringLiteral("/ver/")));
        QVERIFY(!isVersionQuery(QStringLiteral("/ver/ please")));
        QVERIFY(isVersionQuery(QStringLiteral("XX9XYZ-L>/ver/")));
        QVERIFY(isVersionQuery(QStringLiteral("a/ver/")));
        QVERIFY(!isVersionQuery(QStringLiteral("XX9XYZ-L>/VER/")));
        QVERIFY(!isVersionQuery(QString()));
        QCOMPARE(versionAnswer(), QStringLiteral("Tavrin  v%1.%2.%3")
                                      .arg(TAVRIN_VERSION_MAJOR)
                                      .arg(TAVRIN_VERSION_MINOR)
                                      .arg(TAVRIN_VERSION_REVISION));
        QVERIFY(versionAnswer().startsWith(QStringLiteral(TAVRIN_PRODUCT_NAME "  v")));
    }

    void frequencyReports()
    {
        const auto report = [](const char *line) { return frequencyReport(QString::fromLatin1(line)); };
        QCOMPARE(report("XX9XYZ-L>FN14.2300 USB"), std::optional<QString>(QStringLiteral("14.2300")));
        QCOMPARE(report("XX9XYZ-L>FN7.1450"), std::optional<QString>(QStringLiteral("7.1450")));
        QCOMPARE(report("XX9XYZ-L>fn7.1"), std::optional<QString>(QStringLiteral("7.1000")));
        QCOMPARE(report("X>FN.5"), std::optional<QString>(QStringLiteral(".5000")));
        QCOMPARE(report("A>B>FN14.2"), std::optional<QString>(QStringLiteral("14.2000")));
        // Only the number right after the tag: other digits of the line are not part of it.
        QCOMPARE(report("XX9XYZ-L>FN14.2300 USB S9"), std::optional<QString>(QStringLiteral("14.2300")));
        QCOMPARE(report("XX9XYZ-L>Node 2>FN7.1"), std::optional<QString>(QStringLiteral("7.1000")));
        QCOMPARE(report("XX9XYZ-L>FN 7.1 2kHz wide"), std::optional<QString>(QStringLiteral("7.1000")));
        // No readable number: nothing.
        QVERIFY(!report("XX9XYZ-L>FN14.2.3 USB"));
        QVERIFY(!report("XX9XYZ-L>FN 14,230 kHz"));

        QVERIFY(!report(">FN14.2300"));          // no tag: the tag must stand at position 1
        QVERIFY(!report("XX9XYZ-L>FN USB"));     // nothing left of the frequency
        QVERIFY(!report("XX9XYZ-L>FN"));
        QVERIFY(!report("XX9XYZ-L>FR? 14.2"));   // no report tag at all
        QVERIFY(!report("XX9XYZ-L FN14.2"));
        QVERIFY(!report(""));
        QVERIFY(isFrequencyReport(QStringLiteral("x>Fn")));
    }

    void sysopMarkers()
    {
        QCOMPARE(baseCallsign(QStringLiteral("XX9XYZ-L")), QStringLiteral("XX9XYZ"));
        QCOMPARE(baseCallsign(QStringLiteral("XX9XYZ-R")), QStringLiteral("XX9XYZ"));
        QCOMPARE(baseCallsign(QStringLiteral("XX9XYZ")), QStringLiteral("XX9XYZ"));
        // Every "-R" first, then every "-L": "--RL" loses "-R", which leaves a "-L" to go.
        QCOMPARE(baseCallsign(QStringLiteral("X--RL")), QStringLiteral("X"));

        const SysopMarkers linkCall(QStringLiteral("XX9XYZ-L"), QString());
        const auto hit = [](const SysopMarkers &m, const char *line) {
            return m.foundIn(QString::fromLatin1(line).toUpper());
        };
        QVERIFY(hit(linkCall, "XX1AB>** XX9XYZ-L ** please call"));
        QVERIFY(hit(linkCall, "XX1AB>**XX9XYZ-L** please call"));
        QVERIFY(hit(linkCall, "XX1AB>** XX9XYZ ** please call"));
        QVERIFY(hit(linkCall, "XX1AB>**xx9xyz** lower case still counts"));
        QVERIFY(!hit(linkCall, "XX1AB>*XX9XYZ* single asterisks"));
        QVERIFY(!hit(linkCall, "XX1AB>** XX9XYZ** uneven blanks"));
        QVERIFY(!hit(linkCall, "XX1AB>XX9XYZ-L hello"));
        QVERIFY(!hit(linkCall, "XX1AB>**XX9XYZ-R**"));
        QVERIFY(!hit(linkCall, "****"));

        // A plain callsign gives the same markers twice; a relay callsign its base too.
        const SysopMarkers plain(QStringLiteral("XX9XYZ"), QString());
        QVERIFY(hit(plain, "**XX9XYZ**"));
        QVERIFY(!hit(plain, "**XX9XYZ-L**"));
        const SysopMarkers relay(QStringLiteral("XX9XYZ-R"), QString());
        QVERIFY(hit(relay, "** XX9XYZ-R **"));
        QVERIFY(hit(relay, "**XX9XYZ**"));

        // The extra call counts only when it is known.
        const SysopMarkers extra(QStringLiteral("XX9XYZ-L"), QStringLiteral("XX1ABC"));
        QVERIFY(hit(extra, "x>**XX1ABC** hi"));
        QVERIFY(!hit(extra, "x>** XX1ABC ** hi")); // no spaced form for the extra call
        QVERIFY(!hit(linkCall, "x>**XX1ABC** hi"));
        QCOMPARE(extra.markers().size(), 5);
        const SysopMarkers nothingKnown{QString(), QString()};
        QVERIFY(nothingKnown.markers().isEmpty());
        QVERIFY(!hit(nothingKnown, "****"));
        QVERIFY(!hit(nothingKnown, "**  **"));
        // Letter case never matters, of the line or of the calls: an extra call stored in
        // lower case still catches its messages.
        QVERIFY(hit(SysopMarkers(QStringLiteral("xx9xyz"), QString()), "**xx9xyz**"));
        QVERIFY(hit(SysopMarkers(QStringLiteral("XX9XYZ-L"), QStringLiteral("xx7ext")), "x>**XX7EXT** hi"));
    }

    void answersAndRequests()
    {
        QCOMPARE(sysopAcknowledgement(QStringLiteral("XX9XYZ-L")),
                 QStringLiteral(" Message has been received and left for the XX9XYZ-L's Sysop"));
        QCOMPARE(transmitRequestLine(QStringLiteral("14:05:09")), QStringLiteral("14:05:09 CPT?"));
        QCOMPARE(sysopLogEntry(QStringLiteral("04/05/2024"), QStringLiteral("09:05:07"), QStringLiteral("A>**B** hi")),
                 QStringLiteral("04/05/2024 at 09:05:07 A>**B** hi\r\n\r\n"));
    }

    void timeTexts()
    {
        QCOMPARE(withoutTimeZone(QStringLiteral("HH:mm:ss t")), QStringLiteral("HH:mm:ss"));
        QCOMPARE(withoutTimeZone(QStringLiteral("t HH:mm:ss")), QStringLiteral("HH:mm:ss"));
        QCOMPARE(withoutTimeZone(QStringLiteral("h:mm:ss AP tttt")), QStringLiteral("h:mm:ss AP"));
        QCOMPARE(withoutTimeZone(QStringLiteral("HH:mm:ss 'at' t")), QStringLiteral("HH:mm:ss 'at'"));
        QCOMPARE(withoutTimeZone(QStringLiteral("HH 'tt' mm")), QStringLiteral("HH 'tt' mm"));
        QCOMPARE(withoutTimeZone(QStringLiteral("HH:mm:ss")), QStringLiteral("HH:mm:ss"));
        QCOMPARE(withoutTimeZone(QStringLiteral("H:mm:ss (t)")), QStringLiteral("H:mm:ss"));

        // Locales that write other digits (Persian, Arabic) still send ASCII ones, and a zone
        // in brackets leaves no empty brackets behind.
        for (const char *name : {"fa_IR", "ar_EG", "de_DE", "tr_TR"}) {
            const QLocale locale(QString::fromLatin1(name));
            const QString time = timeTextIn(locale, QTime(14, 5, 9));
            const QString date = dateTextIn(locale, QDate(2024, 5, 4));
            QVERIFY2(time.contains(QStringLiteral("05")) && time.contains(QStringLiteral("09")) && !time.contains(u'('),
                     qPrintable(time));
            QVERIFY2(date.contains(u'4'), qPrintable(date));
            for (const QChar c : time + date)
                QVERIFY2(!c.isDigit() || c.unicode() < 0x80, qPrintable(time + QLatin1Char(' ') + date));
        }

        // Whatever the system locale, the text holds the time and no zone name.
        const QString text = defaultTimeText(QTime(14, 5, 9));
        QVERIFY2(text.contains(QStringLiteral("05")) && text.contains(QStringLiteral("09")), qPrintable(text));
        QVERIFY2(!text.contains(QRegularExpression(QStringLiteral("UTC|GMT|[A-Z]{3,}$|[+-]\\d\\d:?\\d\\d$"))),
                 qPrintable(text));
        QVERIFY(!defaultDateText(QDate(2024, 5, 4)).isEmpty());
    }
};

QTEST_GUILESS_MAIN(RemoteTextTest)
#include "test_remote.moc"
