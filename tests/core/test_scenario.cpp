// The scenario file format, the sent-line patterns and the command line.

#include "app/CommandLine.h"
#include "scenario/KeyNames.h"
#include "scenario/LinePattern.h"
#include "scenario/ScenarioScript.h"

#include <QtTest>

using namespace tavrin;
using namespace tavrin::scenario;

namespace {

// Parses text that must fail and returns the error.
ScriptError errorOf(const QString &text)
{
    ScriptError error;
    const auto script = parseScript(text, &error);
    if (script)
        return {-1, QStringLiteral("parsed")};
    return error;
}

} // namespace

class TestScenario : public QObject {
    Q_OBJECT

private slots:
    void wordsQuotingAndComments_data();
    void wordsQuotingAndComments();
    void brokenQuotingIsRejected_data();
    void brokenQuotingIsRejected();
    void scriptStartsWhereItSays();
    void scriptErrorsNameTheirLine_data();
    void scriptErrorsNameTheirLine();
    void windowsLineEndsAndByteOrderMark();
    void sentLinePatterns_data();
    void sentLinePatterns();
    void dateShapes_data();
    void dateShapes();
    void keyNames();
    void commandLine();
    void commandLineErrors_data();
    void commandLineErrors();
};

void TestScenario::wordsQuotingAndComments_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("words");
    QTest::newRow("plain") << "click  Form2.Command35" << QStringList{"click", "Form2.Command35"};
    QTest::newRow("quoted blanks") << "type Text1 \"FN 14.2\"" << QStringList{"type", "Text1", "FN 14.2"};
    QTest::newRow("escapes") << R"(event chat "say \"hi\" \\ bye")" << QStringList{"event", "chat", R"(say "hi" \ bye)"};
    QTest::newRow("empty quoted word kept") << "expect Text2 text \"\"" << QStringList{"expect", "Text2", "text", ""};
    QTest::newRow("tabs separate") << "wait\t250" << QStringList{"wait", "250"};
    QTest::newRow("whole-line comment") << "   # click fin" << QStringList{};
    QTest::newRow("trailing comment") << "click fin # ends it" << QStringList{"click", "fin"};
    QTest::newRow("colour is a word") << "expect Label3 color #ff0000" << QStringList{"expect", "Label3", "color", "#ff0000"};
    QTest::newRow("hash inside quotes") << "event chat \"# not a comment\"" << QStringList{"event", "chat", "# not a comment"};
    QTest::newRow("blank") << "   " << QStringList{};
}

void TestScenario::wordsQuotingAndComments()
{
    QFETCH(QString, line);
    QFETCH(QStringList, words);
    QStringList got;
    QString error;
    QVERIFY2(splitWords(line, &got, &error), qPrintable(error));
    QCOMPARE(got, words);
}

void TestScenario::brokenQuotingIsRejected_data()
{
    QTest::addColumn<QString>("line");
    QTest::newRow("unclosed") << "type Text1 \"abc";
    QTest::newRow("unknown escape") << R"(type Text1 "a\nb")";
    QTest::newRow("backslash at end") << "type Text1 \"abc\\";
    QTest::newRow("quote inside word") << "type Text1 ab\"c\"";
    QTest::newRow("glued after quote") << "type Text1 \"ab\"c";
}

void TestScenario::brokenQuotingIsRejected()
{
    QFETCH(QString, line);
    QStringList words;
    QString error;
    QVERIFY(!splitWords(line, &words, &error));
    QVERIFY(!error.isEmpty());
}

void TestScenario::scriptStartsWhereItSays()
{
    ScriptError error;
    auto implicit = parseScript(QStringLiteral("# no start\nclick fin\n"), &error);
    QVERIFY(implicit);
    QCOMPARE(implicit->steps.size(), 2);
    QCOMPARE(implicit->steps.at(0).name, QStringLiteral("start"));
    QCOMPARE(implicit->steps.at(0).line, 0);
    QCOMPARE(implicit->startIndex, 0);
    QCOMPARE(implicit->steps.at(1).line, 2);

    auto explicitStart = parseScript(
        QStringLiteral("local XX5QQQ-L\nlink XX9XYZ-L\nsetting TVRset2.ini NodeCall \"XX2ABC\"\nstart\nclick fin\n"),
        &error);
    QVERIFY2(explicitStart, qPrintable(error.toString()));
    QCOMPARE(explicitStart->startIndex, 3);
    QCOMPARE(explicitStart->steps.at(2).args, (QStringList{"TVRset2.ini", "NodeCall", "XX2ABC"}));
    QCOMPARE(explicitStart->steps.at(4).line, 5);
}

void TestScenario::scriptErrorsNameTheirLine_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("fragment");
    QTest::newRow("unknown step") << "click fin\n\nclik fin\n" << 3 << "unknown step";
    QTest::newRow("broken quote") << "# c\nexpect Text1 text \"abc\n" << 2 << "not closed";
    QTest::newRow("too few words") << "type Text1\n" << 1 << "takes 2";
    QTest::newRow("too many words") << "click a b\n" << 1 << "takes 1";
    QTest::newRow("prepare after start") << "click fin\nlocal XX1AAA-L\n" << 2 << "before the program starts";
    QTest::newRow("run before start") << "click fin\nstart\n" << 1 << "after start";
    QTest::newRow("two starts") << "start\nwait 1\nstart\n" << 3 << "twice";
    QTest::newRow("flag value") << "expect Frame8 visible maybe\n" << 1 << "true or false";
    QTest::newRow("colour value") << "expect Label3 color red\n" << 1 << "#rrggbb";
    QTest::newRow("property") << "expect Label3 size 3\n" << 1 << "the property";
    QTest::newRow("key name") << "key Text3 Enterr\n" << 1 << "unknown key";
    QTest::newRow("wait number") << "wait soon\n" << 1 << "whole number";
    QTest::newRow("tick count") << "tick Timer3 0\n" << 1 << "whole number";
    QTest::newRow("event kind") << "event chatter \"x\"\n" << 1 << "the event";
    QTest::newRow("event rx state") << "event rx maybe\n" << 1 << "the state";
    QTest::newRow("event closing extra") << "event closing now\n" << 1 << "nothing after";
    QTest::newRow("answer") << "answer Maybe\n" << 1 << "the answer";
    QTest::newRow("node") << "node asleep\n" << 1 << "the node";
}

void TestScenario::scriptErrorsNameTheirLine()
{
    QFETCH(QString, text);
    QFETCH(int, line);
    QFETCH(QString, fragment);
    const ScriptError error = errorOf(text);
    QCOMPARE(error.line, line);
    QVERIFY2(error.message.contains(fragment), qPrintable(error.message));
    QVERIFY(error.toString().startsWith(QStringLiteral("line %1: ").arg(line)));
}

void TestScenario::windowsLineEndsAndByteOrderMark()
{
    ScriptError error;
    const QString text = QChar(0xFEFF) + QStringLiteral("start\r\ntype Text5 \"7.1000\"\r\nclick fin\r\n");
    auto script = parseScript(text, &error);
    QVERIFY2(script, qPrintable(error.toString()));
    QCOMPARE(script->steps.size(), 3);
    QCOMPARE(script->steps.at(1).args, (QStringList{"Text5", "7.1000"}));
    QCOMPARE(script->steps.at(2).args, QStringList{"fin"});
}

void TestScenario::sentLinePatterns_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("matches");
    QTest::newRow("literal") << "FR?" << "FR?" << true;
    QTest::newRow("question mark is literal") << "FR?" << "FR" << false;
    QTest::newRow("dot is literal") << "FN14.2300" << "FN14X2300" << false;
    QTest::newRow("whole line only") << "FR?" << "FR? extra" << false;
    QTest::newRow("time one-digit hour") << "FN14.2300 MHz  -  {time}" << "FN14.2300 MHz  -  9:05:07" << true;
    QTest::newRow("time two-digit hour") << "Time? {time}" << "Time? 19:05:07" << true;
    QTest::newRow("time with marker") << "at {time}" << "at 9:05:07 PM" << true;
    QTest::newRow("time needs seconds") << "at {time}" << "at 9:05" << false;
    QTest::newRow("hh:mm:ss two digits") << "FN7.1000 MHz  -  {hh:mm:ss}" << "FN7.1000 MHz  -  09:05:07" << true;
    QTest::newRow("hh:mm:ss rejects one digit") << "FN7.1000 MHz  -  {hh:mm:ss}" << "FN7.1000 MHz  -  9:05:07" << false;
    QTest::newRow("HH:MM") << "({HH:MM}) >CV?" << "(14:05) >CV?" << true;
    QTest::newRow("HH:MM rejects seconds") << "({HH:MM}) >CV?" << "(14:05:01) >CV?" << false;
    QTest::newRow("unknown placeholder is literal") << "{freq}" << "{freq}" << true;
    QTest::newRow("outside the basic plane") << "73 \U0001F600 {HH:MM}" << "73 \U0001F600 10:00" << true;
}

void TestScenario::sentLinePatterns()
{
    QFETCH(QString, pattern);
    QFETCH(QString, line);
    QFETCH(bool, matches);
    QCOMPARE(LinePattern(pattern).matches(line), matches);
}

void TestScenario::dateShapes_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("date");
    QTest::addColumn<bool>("matches");
    QTest::newRow("US short") << "M/d/yy" << "3/9/24" << true;
    QTest::newRow("US short two digits") << "M/d/yy" << "12/31/24" << true;
    QTest::newRow("US rejects four-digit year") << "M/d/yy" << "3/9/2024" << false;
    QTest::newRow("German") << "dd.MM.yy" << "09.03.24" << true;
    QTest::newRow("German rejects slashes") << "dd.MM.yy" << "09/03/24" << false;
    QTest::newRow("ISO") << "yyyy-MM-dd" << "2024-03-09" << true;
    QTest::newRow("quoted literal") << "d 'de' MMMM" << "9 de marzo" << true;
}

void TestScenario::dateShapes()
{
    QFETCH(QString, format);
    QFETCH(QString, date);
    QFETCH(bool, matches);
    const QRegularExpression shape(QRegularExpression::anchoredPattern(LinePattern::dateShape(format)),
                                   QRegularExpression::UseUnicodePropertiesOption);
    QVERIFY(shape.isValid());
    QCOMPARE(shape.match(date).hasMatch(), matches);

    // {date} follows the locale it is given.
    const QLocale locale(QLocale::German, QLocale::Germany);
    const QString today = locale.toString(QDate(2024, 3, 9), QLocale::ShortFormat);
    QVERIFY(LinePattern(QStringLiteral("on {date}"), locale).matches(QStringLiteral("on ") + today));
}

void TestScenario::keyNames()
{
    auto enter = keyFromName(QStringLiteral("enter"));
    QVERIFY(enter);
    QCOMPARE(enter->key, Qt::Key_Return);
    QCOMPARE(enter->text, QStringLiteral("\r"));
    QCOMPARE(keyFromName(QStringLiteral("F12"))->key, Qt::Key_F12);
    QCOMPARE(keyFromName(QStringLiteral("x"))->key, Qt::Key_X);
    QCOMPARE(keyFromName(QStringLiteral("x"))->text, QStringLiteral("x"));
    QVERIFY(!keyFromName(QStringLiteral("F13")));
    QVERIFY(!keyFromName(QStringLiteral("Hyper")));
}

void TestScenario::commandLine()
{
    const CommandLineResult r = parseCommandLine({"tavrin", "--settings-dir", "/tmp/a b", "--scenario=x.scn",
                                                  "--local", "XX5QQQ-L", "--seed", "4294967295",
                                                  "--exit-when-idle"});
    QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
    QCOMPARE(r.options.settingsDir, QStringLiteral("/tmp/a b"));
    QCOMPARE(r.options.scenarioFile, QStringLiteral("x.scn"));
    QCOMPARE(r.options.localCall, QStringLiteral("XX5QQQ-L"));
    QCOMPARE(r.options.seed, std::optional<quint32>(4294967295u));
    QVERIFY(r.options.exitWhenIdle);
    QVERIFY(!r.options.help);

    const CommandLineResult plain = parseCommandLine({"tavrin"});
    QVERIFY(plain.error.isEmpty());
    QVERIFY(!plain.options.seed);
    QVERIFY(plain.options.settingsDir.isEmpty());
    QVERIFY(parseCommandLine({"tavrin", "--help"}).options.help);
    QVERIFY(parseCommandLine({"tavrin", "--version"}).options.version);
}

void TestScenario::commandLineErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("missing value") << QStringList{"tavrin", "--scenario"};
    QTest::newRow("empty value") << QStringList{"tavrin", "--settings-dir="};
    QTest::newRow("unknown option") << QStringList{"tavrin", "--fast"};
    QTest::newRow("stray argument") << QStringList{"tavrin", "file.scn"};
    QTest::newRow("seed not a number") << QStringList{"tavrin", "--seed", "ten"};
    QTest::newRow("seed too big") << QStringList{"tavrin", "--seed", "4294967296"};
    QTest::newRow("seed negative") << QStringList{"tavrin", "--seed", "-1"};
    QTest::newRow("flag with value") << QStringList{"tavrin", "--exit-when-idle=yes"};
}

void TestScenario::commandLineErrors()
{
    QFETCH(QStringList, arguments);
    QVERIFY(!parseCommandLine(arguments).error.isEmpty());
}

QTEST_GUILESS_MAIN(TestScenario)
#include "test_scenario.moc"
