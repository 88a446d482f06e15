#include "settings/PresetEditor.h"
#include "settings/PresetSet.h"
#include "settings/ProfileStore.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace tavrin;

namespace {

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QStringList fieldValues(const PresetSet &set)
{
    QStringList values{set.NodeCall};
    for (int i = 1; i <= PresetSet::kPresets + PresetSet::kBands; ++i)
        values << set.Text(i);
    for (int i = 1; i <= PresetSet::kPresets; ++i)
        values << set.Texta(i);
    return values;
}

QLineEdit *edit(QWidget &w, const QString &name)
{
    return w.findChild<QLineEdit *>(name);
}

QPushButton *button(QWidget &w, const QString &name)
{
    return w.findChild<QPushButton *>(name);
}

} // namespace

class TestPresets : public QObject {
    Q_OBJECT
private slots:
    void set1DefaultsAndEmptyOtherSets();
    void keyOrderAndLetterCase();
    void saveWritesAllKeysAndLoadsBack();
    void loadHonoursPresentEmptyKeys();
    void editorShowsTheSet();
    void editorTypingChangesTheSetAtOnce();
    void editorHideKeepsAndCloseDropsEdits();
    void editorSaveReportsResult();
    void editorOtherSetButtons_data();
    void editorOtherSetButtons();
};

void TestPresets::set1DefaultsAndEmptyOtherSets()
{
    const PresetSet s1(1);
    QCOMPARE(s1.fileName(), QString("TVRset1.ini"));
    QCOMPARE(s1.NodeCall, QString("XX9XYZ-L"));
    const QStringList labels{"160 M", "80 M", "40 M", "20 M", "17 M", "15 M"};
    for (int b = 1; b <= 6; ++b)
        QCOMPARE(s1.bandLabel(b), labels.at(b - 1));
    QCOMPARE(s1.Text(1), QString("1.8500"));
    QCOMPARE(s1.Text(5), QString("1.9450"));
    QCOMPARE(s1.Text(6), QString());
    QCOMPARE(s1.Text(PresetSet::presetIndex(2, 9)), QString("3.9000"));
    QCOMPARE(s1.Text(PresetSet::presetIndex(4, 9)), QString("14.3450"));
    QCOMPARE(s1.Texta(PresetSet::presetIndex(4, 9)), QString("FN14.3450"));
    QCOMPARE(s1.Text(PresetSet::presetIndex(5, 8)), QString("18.1650"));
    QCOMPARE(s1.Text(PresetSet::presetIndex(5, 9)), QString());
    QCOMPARE(s1.Text(60), QString("21.2650"));
    QCOMPARE(s1.Texta(1), QString("FN1.8500"));

    // Per band the number of filled presets is 5, 9, 9, 9, 8, 10, and every command text is
    // "FN" and its button text (or empty with it).
    const int filled[6] = {5, 9, 9, 9, 8, 10};
    for (int b = 1; b <= 6; ++b) {
        for (int p = 1; p <= 10; ++p) {
            const int n = PresetSet::presetIndex(b, p);
            QCOMPARE(s1.Text(n).isEmpty(), p > filled[b - 1]);
            QCOMPARE(s1.Texta(n), s1.Text(n).isEmpty() ? QString() : "FN" + s1.Text(n));
        }
    }

    for (int set = 2; set <= 4; ++set) {
        const PresetSet s(set);
        QCOMPARE(s.fileName(), QString("TVRset%1.ini").arg(set));
        for (const QString &v : fieldValues(s))
            QVERIFY(v.isEmpty());
    }
}

void TestPresets::keyOrderAndLetterCase()
{
    const QStringList read = PresetSet::readKeys();
    const QStringList written = PresetSet::writeKeys();
    QCOMPARE(read.size(), 127);
    QCOMPARE(written.size(), 127);
    QCOMPARE(read.mid(0, 3), (QStringList{"Text1", "Text2", "Text3"}));
    QCOMPARE(read.at(9), QString("Text10"));
    QCOMPARE(read.at(10), QString("Text1a"));
    QCOMPARE(read.at(19), QString("Text10a"));
    QCOMPARE(read.at(20), QString("Text11"));
    QCOMPARE(read.at(30), QString("Text11a"));
    QCOMPARE(read.at(119), QString("Text60a"));
    QCOMPARE(read.at(120), QString("NodeCall"));
    QCOMPARE(read.mid(121), (QStringList{"Text61", "Text62", "Text63", "Text64", "Text65", "Text66"}));
    QCOMPARE(written.at(6), QString("TEXT7"));
    QCOMPARE(written.at(16), QString("TEXT7a"));
    QCOMPARE(written.at(120), QString("NodeCall"));
    QCOMPARE(written.at(126), QString("TEXT66"));
    for (int k = 0; k < 127; ++k)
        QCOMPARE(written.at(k).toUpper(), read.at(k).toUpper());
    QCOMPARE(QSet<QString>(read.begin(), read.end()).size(), 127);
}

void TestPresets::saveWritesAllKeysAndLoadsBack()
{
    QTemporaryDir dir;
    ProfileStore store(dir.path());
    PresetSet set(1);
    set.Text(3) = QString::fromUtf8("7.0\xC3\xA4 odd");
    set.Texta(60) = "FN21.2650 USB";
    set.NodeCall = "XX1ABC-R";
    QVERIFY(set.SaveData(store));

    const QList<QByteArray> lines = readFile(store.pathOf("TVRset1.ini")).split('\n');
    QCOMPARE(lines.size(), 1 + 127 + 1); // header, the keys, nothing after the last line end
    QCOMPARE(lines.at(0), QByteArray("[SETTINGS]"));
    const QStringList written = PresetSet::writeKeys();
    for (int k = 0; k < 127; ++k)
        QVERIFY2(lines.at(k + 1).startsWith(written.at(k).toUtf8() + '='), lines.at(k + 1).constData());
    QCOMPARE(lines.at(1), QByteArray("TEXT1=1.8500"));
    QCOMPARE(lines.at(11), QByteArray("TEXT1a=FN1.8500"));
    QCOMPARE(lines.at(6), QByteArray("TEXT6="));

    PresetSet again(1);
    again.load(store);
    QCOMPARE(fieldValues(again), fieldValues(set));

    // A second save changes values in place: same length, no duplicated keys.
    set.Text(1) = "1.8400";
    QVERIFY(set.SaveData(store));
    const QList<QByteArray> after = readFile(store.pathOf("TVRset1.ini")).split('\n');
    QCOMPARE(after.size(), lines.size());
    QCOMPARE(after.at(1), QByteArray("TEXT1=1.8400"));

    // Sets use their own files.
    PresetSet other(3);
    other.load(store);
    QCOMPARE(other.NodeCall, QString());
}

void TestPresets::loadHonoursPresentEmptyKeys()
{
    QTemporaryDir dir;
    ProfileStore store(dir.path());
    // A cleared set-1 preset stays empty after a restart; the default does not come back.
    PresetSet set(1);
    set.Text(12) = "";
    set.Texta(12) = "";
    set.Text(61) = "";
    QVERIFY(set.SaveData(store));
    PresetSet restarted(1);
    restarted.load(store);
    QCOMPARE(restarted.Text(12), QString());
    QCOMPARE(restarted.Texta(12), QString());
    QCOMPARE(restarted.bandLabel(1), QString());
    QCOMPARE(restarted.Text(11), QString("3.5850"));

    // A file written by hand with other spellings, a partial key list and strangers.
    QVERIFY(store.writeBatch("TVRset2.ini", {{"text5", "5.0"}, {"nodecall", "XX2X"}, {"Other", "x"}}));
    PresetSet two(2);
    two.Text(6) = "stale";
    two.load(store);
    QCOMPARE(two.Text(5), QString("5.0"));
    QCOMPARE(two.NodeCall, QString("XX2X"));
    QCOMPARE(two.Text(6), QString()); // missing key: back to its default
}

void TestPresets::editorShowsTheSet()
{
    QTemporaryDir dir;
    ProfileStore store(dir.path());
    PresetSet set(1);
    PresetEditor editor(set, store);
    QCOMPARE(editor.objectName(), QString("FormSet1"));
    QCOMPARE(editor.windowTitle(), QString("Frequency Setup 1"));
    QVERIFY(editor.isWindow());
    QVERIFY(!editor.isVisible());

    QStringList labelTexts;
    for (QLabel *l : editor.findChildren<QLabel *>())
        labelTexts << l->text();
    QVERIFY(labelTexts.contains("Frequency Setup 1"));
    QVERIFY(labelTexts.contains("Configuration for Node"));
    QCOMPARE(labelTexts.count("Button Text"), 6);
    QCOMPARE(labelTexts.count("Text Command"), 6);
    QVERIFY(editor.findChild<QLabel *>("StatusLine"));

    QCOMPARE(edit(editor, "NodeCall")->text(), QString("XX9XYZ-L"));
    for (int i = 1; i <= 66; ++i)
        QCOMPARE(edit(editor, QString("Text%1").arg(i))->text(), set.Text(i));
    for (int i = 1; i <= 60; ++i)
        QCOMPARE(edit(editor, QString("Text%1a").arg(i))->text(), set.Texta(i));
    QCOMPARE(editor.findChildren<QLineEdit *>().size(), 127);
    QCOMPARE(button(editor, "Command1")->text(), QString("Hide"));
    QCOMPARE(button(editor, "Command2")->text(), QString("Save"));

    editor.show();
    QVERIFY(editor.width() <= 1280);
    QVERIFY(editor.height() <= 1024);
    QVERIFY(editor.sizeHint().width() <= 1280);
    QVERIFY(editor.sizeHint().height() <= 1000);
}

void TestPresets::editorTypingChangesTheSetAtOnce()
{
    QTemporaryDir dir;
    ProfileStore store(dir.path());
    PresetSet set(2);
    PresetEditor editor(set, store);
    QSignalSpy changed(&editor, &PresetEditor::presetsChanged);
    editor.show();

    QTest::keyClicks(edit(editor, "Text17"), "7.1");
    QCOMPARE(set.Text(17), QString("7.1"));
    QTest::keyClicks(edit(editor, "Text17a"), "FN7.1");
    QCOMPARE(set.Texta(17), QString("FN7.1"));
    QTest::keyClicks(edit(editor, "Text66"), "15 M");
    QCOMPARE(set.bandLabel(6), QString("15 M"));
    QTest::keyClicks(edit(editor, "NodeCall"), "XX2B-L");
    QCOMPARE(set.NodeCall, QString("XX2B-L"));
    QCOMPARE(changed.size(), 3 + 5 + 4 + 6);
    edit(editor, "NodeCall")->insert("\r\n"); // a pasted break stays a blank in the one line
    QCOMPARE(set.NodeCall, QString("XX2B-L  "));
    // Nothing reached the file.
    QVERIFY(!QFile::exists(store.pathOf("TVRset2.ini")));
}

void TestPresets::editorHideKeepsAndCloseDropsEdits()
{
    QTemporaryDir dir;
    ProfileStore store(dir.path());
    PresetSet set(1);
    PresetEditor editor(set, store);
    editor.reload();
    editor.show();

    QTest::keyClicks(edit(editor, "Text1"), "9");
    QVERIFY(editor.SaveData());
    QTest::keyClicks(edit(editor, "Text2"), "7");
    QCOMPARE(set.Text(2), QString("1.87507"));

    QTest::mouseClick(button(editor, "Command1"), Qt::LeftButton);
    QVERIFY(!editor.isVisible());
    QCOMPARE(set.Text(2), QString("1.87507")); // hidden, still in use
    editor.show();
    QCOMPARE(edit(editor, "Text2")->text(), QString("1.87507"));

    QSignalSpy changed(&editor, &PresetEditor::presetsChanged);
    editor.close(); // the title-bar button
    QVERIFY(!editor.isVisible());
    QCOMPARE(set.Text(1), QString("1.85009"));  // saved edit kept
    QCOMPARE(set.Text(2), QString("1.8750"));   // unsaved edit gone
    QCOMPARE(edit(editor, "Text2")->text(), QString("1.8750"));
    QVERIFY(changed.size() >= 1); // the main window refreshes from the reloaded set
    QCOMPARE(editor.findChild<QLabel *>("StatusLine")->text(), QString());
    editor.show();
    QVERIFY(editor.isVisible()); // closing did not destroy the window
}

void TestPresets::editorSaveReportsResult()
{
    QTemporaryDir dir;
    {
        ProfileStore store(dir.path());
        PresetSet set(4);
        PresetEditor editor(set, store);
        QTest::keyClicks(edit(editor, "Text60a"), "FN28");
        QTest::mouseClick(button(editor, "Command2"), Qt::LeftButton);
        QCOMPARE(store.ReadSetting("TVRset4.ini", "Text60a", "d"), QString("FN28"));
        QCOMPARE(store.ReadSetting("TVRset4.ini", "Text1", "d"), QString(""));
        QCOMPARE(editor.findChild<QLabel *>("StatusLine")->text(), QString("Saved."));
        // A later edit is not saved: the word goes.
        QTest::keyClicks(edit(editor, "NodeCall"), "X");
        QCOMPARE(editor.findChild<QLabel *>("StatusLine")->text(), QString());
    }
    {
        QFile blocker(dir.filePath("file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        ProfileStore store(dir.filePath("file/sub"));
        PresetSet set(3);
        PresetEditor editor(set, store);
        QTest::mouseClick(button(editor, "Command2"), Qt::LeftButton);
        const QString status = editor.findChild<QLabel *>("StatusLine")->text();
        QVERIFY2(status.contains("TVRset3.ini"), qPrintable(status));
        QVERIFY(!editor.SaveData().ok);
    }
}

void TestPresets::editorOtherSetButtons_data()
{
    QTest::addColumn<int>("own");
    QTest::addColumn<QList<int>>("targets");
    QTest::newRow("FormSet1") << 1 << QList<int>{2, 3, 4};
    QTest::newRow("FormSet2") << 2 << QList<int>{1, 3, 4};
    QTest::newRow("FormSet3") << 3 << QList<int>{2, 1, 4};
    QTest::newRow("FormSet4") << 4 << QList<int>{2, 3, 1};
}

void TestPresets::editorOtherSetButtons()
{
    QFETCH(int, own);
    QFETCH(QList<int>, targets);
    QTemporaryDir dir;
    ProfileStore store(dir.path());
    PresetSet set(own);
    PresetEditor editor(set, store);
    QSignalSpy requested(&editor, &PresetEditor::showEditorRequested);
    for (int i = 0; i < 3; ++i) {
        QPushButton *b = button(editor, QString("Command%1").arg(3 + i));
        QVERIFY(b);
        QCOMPARE(b->text(), QString("Freq Setup %1").arg(targets.at(i)));
        QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(requested.size(), i + 1);
        QCOMPARE(requested.last().at(0).toInt(), targets.at(i));
    }
}

QTEST_MAIN(TestPresets)
#include "test_presets.moc"
