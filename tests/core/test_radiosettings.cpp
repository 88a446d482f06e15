// The main window's settings file: keys, defaults, Boolean texts.
#include "core/RadioSettings.h"

#include <QTest>

using namespace tavrin;

class RadioSettingsTest : public QObject {
    Q_OBJECT
private slots:
    void booleanTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected"); // 1 true, 0 false, -1 no Boolean
        QTest::newRow("True") << "True" << 1;
        QTest::newRow("false upper") << "FALSE" << 0;
        QTest::newRow("mixed case") << "tRuE" << 1;
        QTest::newRow("padded") << "  True " << 1;
        QTest::newRow("one") << "1" << 1;
        QTest::newRow("zero") << "0" << 0;
        QTest::newRow("minus one") << "-1" << 1;
        QTest::newRow("fraction") << "0.5" << 1;
        QTest::newRow("zero point zero") << "0.0" << 0;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("word") << "yes" << -1;
        QTest::newRow("truth") << "Truex" << -1;
    }
    void booleanTexts()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        const std::optional<bool> b = booleanFromText(text);
        QCOMPARE(b.has_value() ? int(*b) : -1, expected);
    }

    void keyOrderAndLetterCase()
    {
        const QStringList read = RadioSettings::readKeys();
        const QStringList written = RadioSettings::writeKeys();
        QCOMPARE(read.size(), 16);
        QCOMPARE(read.first(), QStringLiteral("Text5"));
        QCOMPARE(read.at(5), QStringLiteral("Text10"));
        QCOMPARE(written.first(), QStringLiteral("TEXT5"));
        QCOMPARE(written.at(5), QStringLiteral("TEXT10"));
        QCOMPARE(written.at(6), QStringLiteral("Option1"));
        QCOMPARE(written.at(11), QStringLiteral("Option6"));
        QCOMPARE(written.at(12), QStringLiteral("Option1x"));
        QCOMPARE(written.last(), QStringLiteral("Option4x"));
        QCOMPARE(read.mid(6), written.mid(6));
    }

    void missingFileGivesDefaults()
    {
        const RadioSettings s = RadioSettings::read(ProfileSnapshot());
        QCOMPARE(s.userFrequencies.at(0), QStringLiteral("3.6950"));
        for (int j = 1; j < 6; ++j)
            QVERIFY(s.userFrequencies.at(j).isEmpty());
        QCOMPARE(s.bands.at(0), std::optional<bool>(true));
        for (int b = 1; b < 6; ++b)
            QCOMPARE(s.bands.at(b), std::optional<bool>(false));
        QCOMPARE(s.sets.at(0), std::optional<bool>(true));
        for (int k = 1; k < 4; ++k)
            QCOMPARE(s.sets.at(k), std::optional<bool>(false));
    }

    void storedValuesWinOverDefaults()
    {
        const QByteArray file = "[settings]\r\nTEXT5=\r\ntext6=7.1000\r\noption1=False\r\nOption4=true\r\n"
                                "Option2x=1\r\nOption3x=garbage\r\n";
        const RadioSettings s = RadioSettings::read(ProfileSnapshot(file, 265));
        QVERIFY(s.userFrequencies.at(0).isEmpty()); // present but empty: not the default
        QCOMPARE(s.userFrequencies.at(1), QStringLiteral("7.1000"));
        QCOMPARE(s.bands.at(0), std::optional<bool>(false));
        QCOMPARE(s.bands.at(3), std::optional<bool>(true));
        QCOMPARE(s.sets.at(1), std::optional<bool>(true));
        QCOMPARE(s.sets.at(2), std::optional<bool>()); // unreadable: left alone by the window
    }

    void valuesToWrite()
    {
        const KeyValues v = radioSettingsValues({QStringLiteral("3.6950"), {}, {}, {}, {}, QStringLiteral("x")},
                                                {false, false, true, false, false, false},
                                                {false, false, false, true});
        QCOMPARE(v.size(), 16);
        QCOMPARE(v.at(0), qMakePair(QStringLiteral("TEXT5"), QStringLiteral("3.6950")));
        QCOMPARE(v.at(5), qMakePair(QStringLiteral("TEXT10"), QStringLiteral("x")));
        QCOMPARE(v.at(6), qMakePair(QStringLiteral("Option1"), QStringLiteral("False")));
        QCOMPARE(v.at(8), qMakePair(QStringLiteral("Option3"), QStringLiteral("True")));
        QCOMPARE(v.at(15), qMakePair(QStringLiteral("Option4x"), QStringLiteral("True")));
    }
};

QTEST_GUILESS_MAIN(RadioSettingsTest)
#include "test_radiosettings.moc"
