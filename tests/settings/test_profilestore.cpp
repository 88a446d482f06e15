#include "settings/ProfileStore.h"

#include "settings/FileErrors.h"

#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

using namespace tavrin;

namespace {

const QString kSection = QStringLiteral("SETTINGS");
const QString kFile = QStringLiteral("TVRtest.ini");

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(content), content.size());
}

QString read(const QByteArray &content, const QString &key, const QString &def = QStringLiteral("<def>"),
             int capacity = 265)
{
    return ProfileSnapshot(content, capacity).ReadSetting(key, def);
}

// A literal with its embedded NULs.
template <size_t N>
QByteArray bytes(const char (&s)[N])
{
    return QByteArray(s, qsizetype(N - 1));
}

} // namespace

class TestProfileStore : public QObject {
    Q_OBJECT
private slots:
    void readMatchesSectionAndKeyIgnoringCase();
    void readMissingGivesDefaultButEmptyGivesEmpty();
    void readTrimsAndFirstDuplicateWins();
    void readCutsToCapacityByCodePoints();
    void writeReplacesInPlaceAppendsAndAddsSection();
    void writeKeepsUntouchedBytes();
    void batchEqualsKeyByKey_data();
    void batchEqualsKeyByKey();
    void lineEndsAndByteOrderMark();
    void malformedContent();
    void windowsEncodingsAreReadAndKept();
    void hugeLineIsHandled();
    void oversizedAndOddFiles();
    void valuesCannotBreakTheFile();
    void storeRoundTripAndFileCreation();
    void unreadableFilesAreSaid();
    void failedSaveKeepsOldFileAndReports();
    void fullDiskIsSaidAndKeepsTheFile();
    void defaultDirectoryFollowsEnvironment();
};

void TestProfileStore::readMatchesSectionAndKeyIgnoringCase()
{
    const QByteArray content = "[settings]\nTEXT12=14.2000\nNodeCall=XX1ABC-L\n";
    QCOMPARE(read(content, "Text12"), QString("14.2000"));
    QCOMPARE(read(content, "text12"), QString("14.2000"));
    QCOMPARE(read(content, "NODECALL"), QString("XX1ABC-L"));
    // Keys of other sections and lines before the first header are not ours.
    const QByteArray other = "Text1=before\n[OTHER]\nText2=other\n[ Settings ]\nText3=mine\n";
    QCOMPARE(read(other, "Text1"), QString("<def>"));
    QCOMPARE(read(other, "Text2"), QString("<def>"));
    QCOMPARE(read(other, "Text3"), QString("mine"));
    // A second SETTINGS section still counts; comments are not keys.
    const QByteArray twice = "[SETTINGS]\nA=1\n;B=c\n#C=d\n[X]\nB=x\n[settings]\nB=2\nA=9\n";
    QCOMPARE(read(twice, "A"), QString("1"));
    QCOMPARE(read(twice, "B"), QString("2"));
    QCOMPARE(read(twice, ";B"), QString("<def>"));
    QCOMPARE(read(twice, "#C"), QString("<def>"));
    QVERIFY(ProfileSnapshot(twice, 265).contains("b"));
    QVERIFY(!ProfileSnapshot(twice, 265).contains("C"));
}

void TestProfileStore::readMissingGivesDefaultButEmptyGivesEmpty()
{
    QCOMPARE(read(QByteArray(), "Text1", "dflt"), QString("dflt"));
    QCOMPARE(read("[OTHER]\nText1=x\n", "Text1", "dflt"), QString("dflt"));
    QCOMPARE(read("[SETTINGS]\nText2=x\n", "Text1", "dflt"), QString("dflt"));
    QCOMPARE(read("[SETTINGS]\nText1=\n", "Text1", "dflt"), QString(""));
    QCOMPARE(read("[SETTINGS]\nText1=   \t\n", "Text1", "dflt"), QString(""));
    // A line without "=" is no key.
    QCOMPARE(read("[SETTINGS]\nText1\n", "Text1", "dflt"), QString("dflt"));

    QTemporaryDir dir;
    ProfileStore store(dir.path());
    QCOMPARE(store.ReadSetting("nothing.ini", "Key", "dflt"), QString("dflt"));
    QVERIFY(!QFile::exists(store.pathOf("nothing.ini"))); // reading creates nothing
}

void TestProfileStore::readTrimsAndFirstDuplicateWins()
{
    const QByteArray content = "[SETTINGS]\n  Text1  =  a b  \t\nText1=second\ntext1=third\n\tKey2=x=y\n";
    QCOMPARE(read(content, "Text1"), QString("a b"));
    QCOMPARE(read(content, " Text1 "), QString("a b"));
    QCOMPARE(read(content, "Key2"), QString("x=y")); // only the first "=" splits
    // Quotes around a value, as written by hand: the text between them, blanks and all.
    const QByteArray quoted = "[SETTINGS]\nName=\"My Station\"\nLoc = ' Den Haag '  \nHalf=\"open\nMix=\"a'\nE=\"\"\n";
    QCOMPARE(read(quoted, "Name"), QString("My Station"));
    QCOMPARE(read(quoted, "Loc"), QString(" Den Haag "));
    QCOMPARE(read(quoted, "Half"), QString("\"open"));
    QCOMPARE(read(quoted, "Mix"), QString("\"a'"));
    QCOMPARE(read(quoted, "E"), QString(""));
}

void TestProfileStore::readCutsToCapacityByCodePoints()
{
    const QString longValue = QString(300, u'x');
    const QByteArray content = "[SETTINGS]\nK=" + longValue.toUtf8() + "\n";
    QCOMPARE(read(content, "K", {}, 265), QString(264, u'x'));
    QCOMPARE(read(content, "K", {}, 256), QString(255, u'x'));
    // The default is cut the same way.
    QCOMPARE(read(content, "Missing", longValue, 265).size(), 264);

    QCOMPARE(ProfileStore::capacityFor("kelmmessageforsysop.ini"), 256);
    QCOMPARE(ProfileStore::capacityFor("KelmMessageForSysop.INI"), 256);
    QCOMPARE(ProfileStore::capacityFor("TVRset1.ini"), 265);

    // 263 letters and an emoji (one code point, two UTF-16 units) fill 264 characters;
    // the emoji must survive whole and the letter after it must go.
    const QString emoji = QString::fromUtf8("\xF0\x9F\x93\xBB");
    const QString value = QString(263, u'a') + emoji + u'b';
    const QString cut = read("[SETTINGS]\nK=" + value.toUtf8() + "\n", "K", {}, 265);
    QCOMPARE(cut, QString(263, u'a') + emoji);
    // Multi-byte characters count once, not per byte.
    const QString umlauts = QString(300, QChar(0xE4));
    QCOMPARE(read("[SETTINGS]\nK=" + umlauts.toUtf8() + "\n", "K", {}, 265), QString(264, QChar(0xE4)));
}

void TestProfileStore::writeReplacesInPlaceAppendsAndAddsSection()
{
    // Replace in place with the writer's spelling, other lines untouched.
    QCOMPARE(applyWrites("[SETTINGS]\nText1=a\ntext2=b\nText3=c\n", kSection, {{"TEXT2", "new"}}),
             QByteArray("[SETTINGS]\nText1=a\nTEXT2=new\nText3=c\n"));
    // Only the first of duplicate keys changes.
    QCOMPARE(applyWrites("[SETTINGS]\nA=1\nA=2\n", kSection, {{"a", "x"}}), QByteArray("[SETTINGS]\na=x\nA=2\n"));
    // A new key goes at the end of its section, before the section's trailing blank lines.
    QCOMPARE(applyWrites("[SETTINGS]\nA=1\n;note\n\n\n[OTHER]\nB=2\n", kSection, {{"C", "3"}}),
             QByteArray("[SETTINGS]\nA=1\n;note\nC=3\n\n\n[OTHER]\nB=2\n"));
    // Section present only as a header.
    QCOMPARE(applyWrites("[SETTINGS]\n", kSection, {{"C", "3"}}), QByteArray("[SETTINGS]\nC=3\n"));
    // A missing section goes at the end of the file, after a separating blank line.
    QCOMPARE(applyWrites("[OTHER]\nB=2\n", kSection, {{"C", "3"}, {"D", ""}}),
             QByteArray("[OTHER]\nB=2\n\n[SETTINGS]\nC=3\nD=\n"));
    QCOMPARE(applyWrites("[OTHER]\nB=2", kSection, {{"C", "3"}}), QByteArray("[OTHER]\nB=2\n\n[SETTINGS]\nC=3\n"));
    // An empty file gets exactly the section.
    QCOMPARE(applyWrites(QByteArray(), kSection, {{"C", "3"}}), QByteArray("[SETTINGS]\nC=3\n"));
    // A key in a second SETTINGS section is replaced there, not duplicated.
    QCOMPARE(applyWrites("[SETTINGS]\nA=1\n[X]\n[settings]\nB=2\n", kSection, {{"b", "9"}}),
             QByteArray("[SETTINGS]\nA=1\n[X]\n[settings]\nb=9\n"));
    // The last line without a line end gets one before appended keys.
    QCOMPARE(applyWrites("[SETTINGS]\nA=1", kSection, {{"B", "2"}}), QByteArray("[SETTINGS]\nA=1\nB=2\n"));
    // Nothing to write: content unchanged, no empty section.
    QCOMPARE(applyWrites("x\n", kSection, {}), QByteArray("x\n"));
}

void TestProfileStore::writeKeepsUntouchedBytes()
{
    const QByteArray content = "; top comment\r\n"
                               "junk line without equals\r\n"
                               "[General]\r\n"
                               "Geometry=@ByteArray(\x01\x02\xff)\r\n"
                               "[SETTINGS]\r\n"
                               "   Unknown = keep  me   \r\n"
                               "# hash comment\r\n"
                               "Text1=old\r\n"
                               "[Tail]\r\n"
                               "z=1";
    const QByteArray out = applyWrites(content, kSection, {{"TEXT1", "new"}});
    QByteArray expected = content;
    expected.replace("Text1=old", "TEXT1=new");
    QCOMPARE(out, expected);
}

void TestProfileStore::batchEqualsKeyByKey_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("existing") << QByteArray("[SETTINGS]\nTEXT2=x\nother=1\n\n");
    QTest::newRow("other section") << QByteArray("[A]\nk=v");
    QTest::newRow("crlf bom") << QByteArray("\xEF\xBB\xBF[settings]\r\ntext1=a\r\n\r\n[B]\r\n");
}

void TestProfileStore::batchEqualsKeyByKey()
{
    QFETCH(QByteArray, content);
    const KeyValues writes{{"TEXT1", "1"}, {"TEXT2", "2"}, {"NodeCall", "XX1"}, {"TEXT1", "again"}, {"New", ""}};
    QByteArray stepwise = content;
    for (const auto &kv : writes)
        stepwise = applyWrites(stepwise, kSection, {kv});
    QCOMPARE(applyWrites(content, kSection, writes), stepwise);

    // Through the store as well: writeBatch and WriteSetting files are identical.
    QTemporaryDir dir;
    ProfileStore store(dir.path());
    writeFile(store.pathOf("a.ini"), content);
    writeFile(store.pathOf("b.ini"), content);
    QVERIFY(store.writeBatch("a.ini", writes));
    for (const auto &kv : writes)
        QVERIFY(store.WriteSetting("b.ini", kv.first, kv.second));
    QCOMPARE(readFile(store.pathOf("a.ini")), readFile(store.pathOf("b.ini")));
    QCOMPARE(store.ReadSetting("a.ini", "text1", "d"), QString("again"));
}

void TestProfileStore::lineEndsAndByteOrderMark()
{
    // CRLF files stay CRLF, LF files stay LF, for replaced and for added lines.
    QCOMPARE(applyWrites("[SETTINGS]\r\nA=1\r\n", kSection, {{"A", "2"}, {"B", "3"}}),
             QByteArray("[SETTINGS]\r\nA=2\r\nB=3\r\n"));
    QCOMPARE(applyWrites("[X]\r\n", kSection, {{"B", "3"}}), QByteArray("[X]\r\n\r\n[SETTINGS]\r\nB=3\r\n"));
    QCOMPARE(read("[SETTINGS]\r\nA=1\r\n", "A"), QString("1"));
    // Mixed line ends: each existing line keeps its own.
    QCOMPARE(applyWrites("[SETTINGS]\nA=1\r\nB=2\n", kSection, {{"A", "x"}}), QByteArray("[SETTINGS]\nA=x\r\nB=2\n"));

    // A lone CR ends a line too (old Mac editors), and such a file keeps its CRs.
    QCOMPARE(read("[SETTINGS]\rA=1\rB=2", "B"), QString("2"));
    QCOMPARE(applyWrites("[SETTINGS]\rA=1\r", kSection, {{"A", "2"}, {"C", "3"}}),
             QByteArray("[SETTINGS]\rA=2\rC=3\r"));

    // A byte-order mark is not part of the first header, and it stays.
    const QByteArray bom = "\xEF\xBB\xBF[SETTINGS]\nA=1\n";
    QCOMPARE(read(bom, "A"), QString("1"));
    QCOMPARE(applyWrites(bom, kSection, {{"A", "2"}}), QByteArray("\xEF\xBB\xBF[SETTINGS]\nA=2\n"));
    QVERIFY(!applyWrites(QByteArray(), kSection, {{"A", "2"}}).startsWith("\xEF\xBB\xBF"));
}

void TestProfileStore::malformedContent()
{
    // Binary bytes, NULs and invalid UTF-8 elsewhere in the file neither stop the parse nor
    // get lost.
    QByteArray content = bytes("\x00\x01garbage\xff\xfe\n[SETTINGS\nno header close\n[SETTINGS]\nBin=\xc3\x28\nA=1\n");
    content += bytes("\x00=zero key\n");
    content += "B=2\n";
    QCOMPARE(read(content, "A"), QString("1"));
    QCOMPARE(read(content, "B"), QString("2"));
    QCOMPARE(read(content, "Bin"), QString::fromUtf8("\xC3\x83(")); // not UTF-8: the Windows code page
    QCOMPARE(read(bytes("[SETTINGS]\nN=1 \0junk\n"), "N"), QString("1")); // a value ends at a NUL
    const QByteArray out = applyWrites(content, kSection, {{"B", "3"}});
    QByteArray expected = content;
    expected.replace("B=2\n", "B=3\n");
    QCOMPARE(out, expected);

    // Only lines before any header: the section comes after them.
    QCOMPARE(applyWrites("A=1\n", kSection, {{"A", "2"}}), QByteArray("A=1\n\n[SETTINGS]\nA=2\n"));
    QCOMPARE(read("A=1\n", "A"), QString("<def>"));
}

void TestProfileStore::windowsEncodingsAreReadAndKept()
{
    QTemporaryDir dir;
    ProfileStore store(dir.path());
    const QString path = store.pathOf(kFile);
    const QString preampli = QString::fromUtf8("Pr\xC3\xA9" "ampli");
    const QString lodz = QString::fromUtf8("\xC5\x81\xC3\xB3" "d\xC5\xBA"); // not in the code page

    // The Windows code page: read as such, and a save keeps every other byte as it was,
    // the five undefined ones (0x81 ...) included.
    const QByteArray ansi = "[SETTINGS]\r\nText1=Pr\xE9" "ampli\r\nText2=\x80 \x93q\x94 \x81\x8D\r\n";
    writeFile(path, ansi);
    QCOMPARE(store.ReadSetting(kFile, "Text1", {}), preampli);
    QCOMPARE(store.ReadSetting(kFile, "Text2", {}), QString::fromUtf8("\xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D \xC2\x81\xC2\x8D"));
    QVERIFY(store.writeBatch(kFile, {{"TEXT1", preampli}, {"TEXT3", QString::fromUtf8("B\xC3\xBCro")}}));
    QCOMPARE(readFile(path), QByteArray("[SETTINGS]\r\nTEXT1=Pr\xE9" "ampli\r\nText2=\x80 \x93q\x94 \x81\x8D\r\nTEXT3=B\xFCro\r\n"));
    // A character the code page lacks turns the whole file into UTF-8, losing nothing.
    QVERIFY(store.WriteSetting(kFile, "TEXT4", lodz));
    QCOMPARE(readFile(path), QByteArray("[SETTINGS]\r\nTEXT1=") + preampli.toUtf8()
                                 + "\r\nText2=\xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D \xC2\x81\xC2\x8D\r\nTEXT3=B\xC3\xBCro\r\nTEXT4="
                                 + lodz.toUtf8() + "\r\n");

    // UTF-8 with code-page bytes an old editor put in: each character read as written, and
    // a save changes only the lines it writes.
    const QByteArray mixed = "[SETTINGS]\r\nText1=Pr\xC3\xA9" "ampli\r\nText2=Caf\xE9 \x93ok\x94\r\nText3=x\r\n";
    writeFile(path, mixed);
    QCOMPARE(store.ReadSetting(kFile, "Text1", {}), preampli);
    QCOMPARE(store.ReadSetting(kFile, "Text2", {}), QString::fromUtf8("Caf\xC3\xA9 \xE2\x80\x9Cok\xE2\x80\x9D"));
    QCOMPARE(store.ReadSetting(kFile, "Text3", {}), QString("x"));
    QVERIFY(store.writeBatch(kFile, {{"TEXT3", lodz}}));
    QCOMPARE(readFile(path), QByteArray(mixed).replace("Text3=x", "TEXT3=" + lodz.toUtf8()));

    // UTF-16 with its byte-order mark, either byte order: read, and saved in UTF-16 again.
    for (const auto encoding : {QStringConverter::Utf16LE, QStringConverter::Utf16BE}) {
        const QByteArray bom = encoding == QStringConverter::Utf16LE ? "\xFF\xFE" : "\xFE\xFF";
        const auto utf16 = [&](const QString &text) {
            QStringEncoder encoder(encoding);
            return bom + QByteArray(encoder.encode(text));
        };
        writeFile(path, utf16("[SETTINGS]\r\nText1=" + preampli + "\r\n"));
        QCOMPARE(store.ReadSetting(kFile, "Text1", {}), preampli);
        QVERIFY(store.writeBatch(kFile, {{"TEXT1", lodz}, {"TEXT2", "2"}}));
        QCOMPARE(readFile(path), utf16("[SETTINGS]\r\nTEXT1=" + lodz + "\r\nTEXT2=2\r\n"));
        QCOMPARE(store.ReadSetting(kFile, "text1", {}), lodz);
    }
}

void TestProfileStore::hugeLineIsHandled()
{
    const QByteArray huge(1024 * 1024, 'q');
    QByteArray content = "[SETTINGS]\nBig=" + huge + "\nA=1\n; " + huge + "\n";
    QCOMPARE(read(content, "A"), QString("1"));
    QCOMPARE(read(content, "Big").size(), 264);
    const QByteArray out = applyWrites(content, kSection, {{"A", "2"}, {"Big", "small"}, {"C", "3"}});
    QCOMPARE(out, QByteArray("[SETTINGS]\nBig=small\nA=2\n; " + huge + "\nC=3\n"));
}

void TestProfileStore::oversizedAndOddFiles()
{
    // Far bigger than any settings file: its whole first lines are read (a line cut at the
    // limit is not), and a save says so and leaves the file alone.
    QTemporaryDir dir;
    ProfileStore store(dir.path());
    QByteArray content = "[SETTINGS]\r\nA=1\r\n";
    while (content.size() < 1024 * 1024 - 10)
        content += "; padding padding padding padding padding\r\n";
    content += "B=" + QByteArray(100, 'b') + "\r\n" + QByteArray(1024 * 1024, '\n');
    writeFile(store.pathOf(kFile), content);
    QCOMPARE(store.ReadSetting(kFile, "A", "d"), QString("1"));
    QCOMPARE(store.ReadSetting(kFile, "B", "d"), QString("d"));
    QVERIFY(store.takeLoadProblems().join(' ').contains("too large"));
    const SaveResult r = store.WriteSetting(kFile, "A", "2");
    QVERIFY(!r.ok);
    QVERIFY2(r.error.contains(kFile) && r.error.contains("too large"), qPrintable(r.error));
    QCOMPARE(readFile(store.pathOf(kFile)), content);

#ifndef Q_OS_WIN
    // A pipe in the file's place must not hold start-up until someone writes to it.
    QVERIFY(::mkfifo(QFile::encodeName(store.pathOf("pipe.ini")).constData(), 0600) == 0);
    QCOMPARE(store.ReadSetting("pipe.ini", "A", "d"), QString("d"));
    QVERIFY(!store.WriteSetting("pipe.ini", "A", "1").ok);
    // A link to a file not made yet: the save makes it, and the link stays.
    QVERIFY(QFile::link(dir.filePath("elsewhere.ini"), store.pathOf("link.ini")));
    QCOMPARE(store.ReadSetting("link.ini", "A", "d"), QString("d"));
    QVERIFY(store.WriteSetting("link.ini", "A", "1").ok);
    QVERIFY(QFileInfo(store.pathOf("link.ini")).isSymLink());
    QCOMPARE(readFile(dir.filePath("elsewhere.ini")), QByteArray("[SETTINGS]\nA=1\n"));
#endif
}

void TestProfileStore::valuesCannotBreakTheFile()
{
    // A line break in a value must not smuggle in a key or a section.
    const QByteArray out = applyWrites(QByteArray(), kSection, {{"A", "one\nB=two\r\n[X]"}, {"C", QString::fromUtf8(bytes("c\0d"))}});
    QCOMPARE(out, QByteArray("[SETTINGS]\nA=one B=two  [X]\nC=c\n"));
    QCOMPARE(read(out, "B"), QString("<def>"));
    // Values that reading would change go in quotes and come back as they were.
    for (const QString &v : {QString(" lead"), QString("trail "), QString("\"quoted\""), QString("'x'"), QString("\"")}) {
        const QByteArray file = applyWrites(QByteArray(), kSection, {{"V", v}});
        QCOMPARE(read(file, "V"), v);
    }
    QCOMPARE(applyWrites(QByteArray(), kSection, {{"V", "My Station"}}), QByteArray("[SETTINGS]\nV=My Station\n"));

    // Keys that could not be read back as written are refused, and nothing is saved.
    QTemporaryDir dir;
    ProfileStore store(dir.path());
    for (const QString &bad : {QString("A=B"), QString(""), QString("  "), QString("[X]"), QString(";c"),
                               QString("a\nb")}) {
        const SaveResult r = store.WriteSetting(kFile, bad, "v");
        QVERIFY2(!r.ok, qPrintable(bad));
        QVERIFY(r.error.contains(kFile));
    }
    QVERIFY(!QFile::exists(store.pathOf(kFile)));
    // A refused batch leaves an existing file as it was, good keys included.
    QVERIFY(store.WriteSetting(kFile, "A", "1"));
    const QByteArray before = readFile(store.pathOf(kFile));
    QVERIFY(!store.writeBatch(kFile, {{"A", "2"}, {"B=C", "3"}}).ok);
    QCOMPARE(readFile(store.pathOf(kFile)), before);
}

void TestProfileStore::storeRoundTripAndFileCreation()
{
    QTemporaryDir dir;
    const QString sub = dir.filePath("deeper/tavrin");
    ProfileStore store(sub);
    QCOMPARE(store.pathOf(kFile), sub + "/" + kFile);
    const QString unicode = QString::fromUtf8("Gr\xC3\xBC\xC3\x9F\x65 \xF0\x9F\x93\xBB \xE2\x82\xAC");
    QVERIFY(store.WriteSetting(kFile, "TEXT12", unicode)); // creates folder, file and section
    QCOMPARE(readFile(store.pathOf(kFile)), QByteArray("[SETTINGS]\nTEXT12=") + unicode.toUtf8() + "\n");
    QCOMPARE(store.ReadSetting(kFile, "Text12", "d"), unicode);
    QVERIFY(store.WriteSetting(kFile, "TEXT12", ""));
    QCOMPARE(store.ReadSetting(kFile, "Text12", "d"), QString(""));

    // A value longer than a read gives back (264, or 255 in the sysop box file), counted as
    // given, is not saved: the rest is, the file keeps the earlier value, and the result says
    // which and why.
    const QString longValue(300, u'v');
    QVERIFY(store.WriteSetting(kFile, "Long", "short"));
    const SaveResult cut = store.writeBatch(kFile, {{"Long", longValue}, {"Other", "kept"}});
    QVERIFY(!cut.ok);
    QVERIFY2(cut.error.contains("Long (300 characters") && cut.error.contains("264") && cut.error.contains(kFile),
             qPrintable(cut.error));
    QCOMPARE(store.ReadSetting(kFile, "long", {}), QString("short"));
    QCOMPARE(store.ReadSetting(kFile, "other", {}), QString("kept"));
    QVERIFY(store.WriteSetting(kFile, "Long", QString(264, u'v')).ok);
    QVERIFY(store.WriteSetting(kFile, "Long", QString(263, u'v') + " ").ok); // quoted, 264 as typed
    QVERIFY(!store.WriteSetting("kelmmessageforsysop.ini", "LEFT", QString(256, u'v')).ok);
    QVERIFY(!QFile::exists(store.pathOf("kelmmessageforsysop.ini"))); // nothing to write: no file
    QVERIFY(store.WriteSetting("kelmmessageforsysop.ini", "LEFT", QString(255, u'v')).ok);

    // A file brought from Windows may spell its name in other letters: it is the one meant,
    // for reading and for saving.
    writeFile(store.pathOf("TVRSET2.INI"), "[SETTINGS]\r\nNodeCall=XX1AB-L\r\n");
    QCOMPARE(store.ReadSetting("TVRset2.ini", "NodeCall", {}), QString("XX1AB-L"));
    QVERIFY(store.WriteSetting("TVRset2.ini", "TEXT1", "1.8"));
    QCOMPARE(readFile(store.pathOf("TVRSET2.INI")), QByteArray("[SETTINGS]\r\nNodeCall=XX1AB-L\r\nTEXT1=1.8\r\n"));
    QCOMPARE(QDir(sub).entryList({"tvrset2.ini"}, QDir::Files).size(), 1); // no second file in other letters
    QVERIFY(store.takeLoadProblems().isEmpty());
}

void TestProfileStore::unreadableFilesAreSaid()
{
    QTemporaryDir dir;
    ProfileStore store(dir.path());
    // Comments and blank lines alone, or nothing at all: a file not yet filled, nothing to say.
    writeFile(store.pathOf("empty.ini"), "; nothing yet\r\n\r\n");
    store.load("empty.ini");
    store.load("missing.ini");
    QVERIFY(store.takeLoadProblems().isEmpty());

    // Settings without their section header: defaults, the file is named once, and a save
    // keeps the operator's lines.
    const QByteArray headless = "Text1=7.1000\nNodeCall=XX2CD-L\n";
    writeFile(store.pathOf("TVRset3.ini"), headless);
    QCOMPARE(store.ReadSetting("TVRset3.ini", "NodeCall", "d"), QString("d"));
    store.load("TVRset3.ini");
    // A folder in a file's place; a value longer than a read gives back.
    QVERIFY(QDir(dir.path()).mkdir("TVRset4.ini"));
    store.load("TVRset4.ini");
    writeFile(store.pathOf("long.ini"), "[SETTINGS]\nText7a=" + QByteArray(300, 'x') + "\n");
    QCOMPARE(store.ReadSetting("long.ini", "Text7a", {}).size(), 264);
    // A setting added above the header, where nothing reads it.
    writeFile(store.pathOf("above.ini"), "NodeCall=XX4GH-L\n[SETTINGS]\nText1=1\n");
    store.load("above.ini");
    const QStringList problems = store.takeLoadProblems();
    QCOMPARE(problems.size(), 4);
    QVERIFY2(problems.at(3).contains("NodeCall") && problems.at(3).contains("above"), qPrintable(problems.at(3)));
    const auto shown = [&](const QString &name) { return QDir::toNativeSeparators(store.pathOf(name)); };
    QVERIFY2(problems.at(0).contains(shown("TVRset3.ini")) && problems.at(0).contains("[SETTINGS]"),
             qPrintable(problems.at(0)));
    QVERIFY2(problems.at(1).contains(shown("TVRset4.ini")) && problems.at(1).contains("folder"),
             qPrintable(problems.at(1)));
    QVERIFY2(problems.at(2).contains("Text7a") && problems.at(2).contains("264"), qPrintable(problems.at(2)));
    QVERIFY(store.takeLoadProblems().isEmpty());
    QVERIFY(store.WriteSetting("TVRset3.ini", "NodeCall", "XX3EF-L"));
    QVERIFY(readFile(store.pathOf("TVRset3.ini")).startsWith(headless));
}

void TestProfileStore::failedSaveKeepsOldFileAndReports()
{
    QTemporaryDir dir;
    // A folder path that runs through a regular file cannot be created, not even by root.
    writeFile(dir.filePath("plainfile"), "x");
    ProfileStore blocked(dir.filePath("plainfile/tavrin"));
    const SaveResult r = blocked.WriteSetting(kFile, "A", "1");
    QVERIFY(!r.ok);
    QVERIFY(!bool(r));
    QVERIFY2(r.error.contains(kFile), qPrintable(r.error));
    QCOMPARE(readFile(dir.filePath("plainfile")), QByteArray("x"));

    // A read-only folder: the old file must survive untouched (root can write anyway).
    const QString roPath = dir.filePath("ro");
    QVERIFY(QDir().mkpath(roPath));
    ProfileStore ro(roPath);
    QVERIFY(ro.WriteSetting(kFile, "A", "old"));
    const QByteArray before = readFile(ro.pathOf(kFile));
    QFile::setPermissions(roPath, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QFile probe(roPath + "/probe");
    if (probe.open(QIODevice::WriteOnly)) {
        probe.close();
        probe.remove();
        QFile::setPermissions(roPath, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QSKIP("running with rights that ignore folder permissions");
    }
    const SaveResult failed = ro.writeBatch(kFile, {{"A", "new"}, {"B", "2"}});
    QFile::setPermissions(roPath, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QVERIFY(!failed.ok);
    QVERIFY(failed.error.contains(kFile));
    QCOMPARE(readFile(ro.pathOf(kFile)), before);
    QCOMPARE(QDir(roPath).entryList(QDir::Files | QDir::Hidden), QStringList{kFile}); // no temp left
}

void TestProfileStore::fullDiskIsSaidAndKeepsTheFile()
{
    // The wording: /dev/full fails every write for want of space; Qt's "Unknown error" (it
    // lost the reason) becomes plain words.
    QFile device("/dev/full");
    if (device.open(QIODevice::WriteOnly)) {
        device.write("x");
        QVERIFY(!device.flush());
        QCOMPARE(writeErrorText(device, "/dev"), QString(kDiskFullText));
    }
    QTemporaryDir dir;
    QCOMPARE(writeErrorText(QFile(), dir.path()), QString(kNotWrittenText));

    // A real full file system, where this run may mount a small one.
    const QString small = dir.filePath("small");
    QVERIFY(QDir().mkpath(small));
    QProcess mount;
    mount.start("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", small});
    if (!mount.waitForFinished(10000) || mount.exitStatus() != QProcess::NormalExit || mount.exitCode() != 0)
        QSKIP("no small file system to fill here (mounting one needs root)");
    const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {"-l", small}); });
    ProfileStore store(small);
    QVERIFY(store.WriteSetting(kFile, "A", "old"));
    QFile filler(small + "/filler");
    QVERIFY(filler.open(QIODevice::WriteOnly));
    const QByteArray block(4096, 'f');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.close();

    KeyValues many{{"B", "2"}};
    for (int k = 0; k < 20; ++k)
        many.append({QStringLiteral("K%1").arg(k), QString(200, u'n')});
    const SaveResult r = store.writeBatch(kFile, many);
    QVERIFY(!r.ok);
    QVERIFY2(r.error.endsWith(QString(kDiskFullText)), qPrintable(r.error));
    QCOMPARE(readFile(store.pathOf(kFile)), QByteArray("[SETTINGS]\nA=old\n"));
    QCOMPARE(QDir(small).entryList(QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase),
             (QStringList{"filler", kFile})); // no temporary file left
}

void TestProfileStore::defaultDirectoryFollowsEnvironment()
{
    const QByteArray saved = qgetenv("TAVRIN_CONFIG_DIR");
    qputenv("TAVRIN_CONFIG_DIR", "/some/where");
    QCOMPARE(ProfileStore::defaultDirectory(), QString("/some/where"));
    qputenv("TAVRIN_CONFIG_DIR", "");
    const QString fallback = ProfileStore::defaultDirectory();
#ifdef Q_OS_WIN
    // The roaming folder, not Qt's local configuration folder.
    QVERIFY(!fallback.isEmpty());
    const QByteArray savedAppData = qgetenv("APPDATA");
    QTemporaryDir appData;
    QVERIFY(QDir(appData.path()).mkdir("Tavrin"));
    qputenv("APPDATA", QDir::toNativeSeparators(appData.path()).toLocal8Bit());
    QCOMPARE(ProfileStore::defaultDirectory(), appData.path() + "/Tavrin");
    qputenv("APPDATA", savedAppData);
#else
    QVERIFY(fallback.endsWith("/tavrin"));
    QVERIFY(fallback != "/tavrin");
    // A relative XDG_CONFIG_HOME is ignored, as the base directory rules say.
    const QByteArray savedXdg = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "relative/config");
    QCOMPARE(ProfileStore::defaultDirectory(), QDir::homePath() + "/.config/tavrin");
    if (savedXdg.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", savedXdg);
#endif
    if (saved.isNull())
        qunsetenv("TAVRIN_CONFIG_DIR");
    else
        qputenv("TAVRIN_CONFIG_DIR", saved);
}

QTEST_GUILESS_MAIN(TestProfileStore)
#include "test_profilestore.moc"
