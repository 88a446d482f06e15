#include "settings/UserButtonEditor.h"
#include "settings/UserButtons.h"
#include "support/WindowShape.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace tavrin;

namespace {

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QLineEdit *edit(QWidget &w, const QString &name)
{
    return w.findChild<QLineEdit *>(name);
}

QPushButton *button(QWidget &w, const QString &name)
{
    return w.findChild<QPushButton *>(name);
}

QString status(QWidget &w)
{
    return w.findChild<QLabel *>("StatusLine")->text();
}

} // namespace

class TestUserButtons : public QObject {
    Q_OBJECT
private slots:
    void defaultsAndKeys();
    void saveRoundTripWithUpperCaseKeys();
    void loadHonoursPresentEmptyKeysAndFillsMissingOnes();
    void editorShowsFieldsAndLimitsCaptions();
    void editorTypingIsLiveAndTimerHandsCaptionsOn();
    void editorHideKeepsAndCloseDropsEdits();
    void editorSaveReportsResult();
    void editorBuiltOnFirstUseShowsTheDataAsItStands();
};

void TestUserButtons::defaultsAndKeys()
{
    const UserButtons b;
    QCOMPARE(UserButtons::fileName(), QString("TVRbuttons.ini"));
    const QStringList captions{"Voice On/Off", "Signal Report", "SQL Active", "SQL Disable", "PreAmp On/Off",
                               "", "", "", "", "", "", ""};
    const QStringList commands{"CV?", "SR?", "CVSA?", "CVSD?", "CPA?", "", "", "", "", "", "", ""};
    QCOMPARE(b.captions(), captions);
    for (int k = 1; k <= 12; ++k)
        QCOMPARE(b.command(k), commands.at(k - 1));

    const QStringList read = UserButtons::readKeys();
    const QStringList written = UserButtons::writeKeys();
    QCOMPARE(read.size(), 24);
    QCOMPARE(written.size(), 24);
    QCOMPARE(read.first(), QString("Text1"));
    QCOMPARE(read.at(11), QString("Text12"));
    QCOMPARE(read.at(12), QString("Text1a"));
    QCOMPARE(read.last(), QString("Text12a"));
    QCOMPARE(written.at(11), QString("TEXT12"));
    QCOMPARE(written.at(12), QString("TEXT1a")); // the suffix stays lower case
    QCOMPARE(written.last(), QString("TEXT12a"));
}

void TestUserButtons::saveRoundTripWithUpperCaseKeys()
{
    QTemporaryDir dir;
    ProfileStore store(dir.path());
    UserButtons b;
    b.caption(12) = "Last";
    b.command(12) = "XY?";
    b.caption(1) = "";
    QVERIFY(b.SaveData(store));

    const QByteArray file = readFile(store.pathOf("TVRbuttons.ini"));
    QVERIFY(file.startsWith("[SETTINGS]"));
    QVERIFY(file.contains("TEXT1=\r\n") || file.contains("TEXT1=\n"));
    QVERIFY(file.contains("TEXT12=Last"));
    QVERIFY(file.contains("TEXT12a=XY?"));
    QVERIFY(file.indexOf("TEXT12=") < file.indexOf("TEXT1a=")); // captions first, in order

    UserButtons back;
    back.load(store);
    QCOMPARE(back.caption(12), QString("Last"));
    QCOMPARE(back.command(12), QString("XY?"));
    QCOMPARE(back.caption(1), QString()); // cleared stays cleared
    QCOMPARE(back.command(1), QString("CV?"));
}

void TestUserButtons::loadHonoursPresentEmptyKeysAndFillsMissingOnes()
{
    QTemporaryDir dir;
    ProfileStore store(dir.path());
    QVERIFY(store.writeBatch("TVRbuttons.ini", {{"text2", ""}, {"Text7a", "CW?"}}));
    UserButtons b;
    b.caption(3) = "edited";
    b.load(store);
    QCOMPARE(b.caption(2), QString());
    QCOMPARE(b.command(2), QString("SR?"));
    QCOMPARE(b.command(7), QString("CW?"));
    QCOMPARE(b.caption(3), QString("SQL Active")); // load replaces every field
}

void TestUserButtons::editorShowsFieldsAndLimitsCaptions()
{
    QTemporaryDir dir;
    ProfileStore store(dir.path());
    UserButtonEditor editor(store);
    editor.reload();
    QCOMPARE(editor.objectName(), QString("Form1"));
    QCOMPARE(editor.windowTitle(), QString("User Define Buttons"));
    QVERIFY(editor.findChildren<QLabel *>().size() >= 2);
    QStringList headings;
    for (QLabel *l : editor.findChildren<QLabel *>())
        headings << l->text();
    QVERIFY(headings.contains("Button Text"));
    QVERIFY(headings.contains("Text Command"));
    QCOMPARE(button(editor, "Command1")->text(), QString("Save"));
    QCOMPARE(button(editor, "Command2")->text(), QString("Hide"));

    for (int k = 1; k <= 12; ++k) {
        QLineEdit *caption = edit(editor, QString("Text%1").arg(k));
        QLineEdit *command = edit(editor, QString("Text%1a").arg(k));
        QVERIFY(caption && command);
        QCOMPARE(caption->placeholderText(), QString("Button text 13 Chrs Max"));
        QCOMPARE(command->placeholderText(), QString("Text command "));
        QCOMPARE(caption->text(), UserButtons::defaultCaption(k));
        QCOMPARE(command->text(), UserButtons::defaultCommand(k));
    }

    // The 14th typed character is refused; the command field has no limit.
    QLineEdit *caption = edit(editor, "Text6");
    QTest::keyClicks(caption, "ABCDEFGHIJKLMN");
    QCOMPARE(caption->text(), QString("ABCDEFGHIJKLM"));
    QCOMPARE(editor.buttons().caption(6), QString("ABCDEFGHIJKLM"));
    // A character of two UTF-16 units that no longer fits is refused whole, not cut in half.
    caption->clear();
    QTest::keyClicks(caption, "ABCDEFGHIJKL");
    QTest::sendKeyEvent(QTest::Click, caption, Qt::Key_unknown, QString::fromUtf8("\xF0\x9F\x93\xA1"), Qt::NoModifier);
    QCOMPARE(editor.buttons().caption(6), QString("ABCDEFGHIJKL"));
    const QString longCommand(40, QChar('x'));
    QTest::keyClicks(edit(editor, "Text6a"), longCommand);
    QCOMPARE(editor.buttons().command(6), longCommand);
}

void TestUserButtons::editorTypingIsLiveAndTimerHandsCaptionsOn()
{
    QTemporaryDir dir;
    ProfileStore store(dir.path());
    UserButtonEditor editor(store);
    QTimer *timer = editor.findChild<QTimer *>("Timer1");
    QVERIFY(timer);
    QVERIFY(timer->isActive()); // from creation, while hidden
    QCOMPARE(timer->interval(), 1000);
    QVERIFY(!timer->isSingleShot());

    QSignalSpy refreshed(&editor, &UserButtonEditor::captionsRefreshed);
    QTest::keyClicks(edit(editor, "Text2"), "!"); // already 13 characters: refused
    QTest::keyClicks(edit(editor, "Text6"), "Tune");
    edit(editor, "Text3a")->clear(); // clear() raises no textEdited: the data stays
    QTest::keyClicks(edit(editor, "Text4a"), "X");
    QCOMPARE(editor.buttons().caption(2), QString("Signal Report"));
    QCOMPARE(editor.buttons().caption(6), QString("Tune"));
    QCOMPARE(editor.buttons().command(3), QString("CVSA?"));
    QCOMPARE(editor.buttons().command(4), QString("CVSD?X"));
    QCOMPARE(refreshed.size(), 0); // captions move on the tick only

    editor.Timer1_Timer();
    QCOMPARE(refreshed.size(), 1);
    const QStringList captions = refreshed.first().first().toStringList();
    QCOMPARE(captions.size(), 12);
    QCOMPARE(captions.at(0), QString("Voice On/Off"));
    QCOMPARE(captions.at(5), QString("Tune"));
    QCOMPARE(captions.at(11), QString());
    QVERIFY(!QFile::exists(store.pathOf("TVRbuttons.ini"))); // nothing saved
}

void TestUserButtons::editorHideKeepsAndCloseDropsEdits()
{
    QTemporaryDir dir;
    ProfileStore store(dir.path());
    UserButtonEditor editor(store);
    editor.reload();
    editor.show();
    QTest::keyClicks(edit(editor, "Text1"), "X");
    QTest::mouseClick(button(editor, "Command2"), Qt::LeftButton);
    QVERIFY(!editor.isVisible());
    QCOMPARE(editor.buttons().caption(1), QString("Voice On/OffX")); // hiding keeps the edit
    QTest::keyClicks(edit(editor, "Text1a"), "X");
    QCOMPARE(editor.buttons().command(1), QString("CV?X"));

    editor.show();
    editor.close(); // the title-bar button
    QVERIFY(!editor.isVisible());
    QCOMPARE(editor.buttons().command(1), QString("CV?"));
    QCOMPARE(editor.buttons().caption(1), QString("Voice On/Off"));
    QCOMPARE(edit(editor, "Text1a")->text(), QString("CV?"));
    QVERIFY(editor.findChild<QTimer *>("Timer1")->isActive()); // closing does not stop it
}

void TestUserButtons::editorSaveReportsResult()
{
    QTemporaryDir dir;
    {
        ProfileStore store(dir.path());
        UserButtonEditor editor(store);
        QTest::keyClicks(edit(editor, "Text8"), "Tune");
        QTest::keyClicks(edit(editor, "Text8a"), "TU?");
        QTest::mouseClick(button(editor, "Command1"), Qt::LeftButton);
        QCOMPARE(status(editor), QString("Saved."));
        QCOMPARE(store.ReadSetting("TVRbuttons.ini", "Text8", "d"), QString("Tune"));
        QCOMPARE(store.ReadSetting("TVRbuttons.ini", "Text8a", "d"), QString("TU?"));
        QCOMPARE(store.ReadSetting("TVRbuttons.ini", "Text9a", "d"), QString(""));
        QTest::keyClicks(edit(editor, "Text9a"), "X"); // a later, unsaved edit
        QCOMPARE(status(editor), QString());

        // A fresh editor on the same directory reads what was saved.
        UserButtonEditor next(store);
        next.reload();
        QCOMPARE(edit(next, "Text8")->text(), QString("Tune"));
        QCOMPARE(next.buttons().command(8), QString("TU?"));
    }
    {
        QFile blocker(dir.filePath("file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        ProfileStore store(dir.filePath("file/sub"));
        UserButtonEditor editor(store);
        QTest::keyClicks(edit(editor, "Text8"), "Kept");
        QTest::mouseClick(button(editor, "Command1"), Qt::LeftButton);
        QVERIFY2(status(editor).contains("TVRbuttons.ini"), qPrintable(status(editor)));
        QCOMPARE(editor.buttons().caption(8), QString("Kept")); // the edit stays in use
    }
}

void TestUserButtons::editorBuiltOnFirstUseShowsTheDataAsItStands()
{
    QTemporaryDir dir;
    ProfileStore store(dir.path());
    QVERIFY(store.writeBatch("TVRbuttons.ini", {{"TEXT2", "Stored"}}));
    UserButtonEditor editor(store, UserButtonEditor::Fields::OnFirstUse);
    QSignalSpy ticks(&editor, &UserButtonEditor::captionsRefreshed);
    editor.reload();
    editor.buttons().caption(12) = "Band Scan";
    QVERIFY(editor.SaveData());
    QCOMPARE(store.ReadSetting("TVRbuttons.ini", "Text12", "d"), QString("Band Scan"));
    QCOMPARE(store.ReadSetting("TVRbuttons.ini", "Text2", "d"), QString("Stored"));
    // Timer1 hands the captions on from creation, and ticking builds nothing.
    QTRY_VERIFY_WITH_TIMEOUT(!ticks.isEmpty(), 10000);
    QCOMPARE(ticks.last().first().toStringList().at(11), QString("Band Scan"));
    QVERIFY(!edit(editor, "Text1"));

    editor.show();
    QCOMPARE(edit(editor, "Text2")->text(), QString("Stored"));
    QCOMPARE(edit(editor, "Text12")->text(), QString("Band Scan"));
    QCOMPARE(status(editor), QString("Saved."));
    QTest::keyClicks(edit(editor, "Text12a"), "BS?");
    QCOMPARE(editor.buttons().command(12), QString("BS?"));
    QCOMPARE(status(editor), QString());

    // Built late or at once, it is the same window.
    UserButtonEditor eager(store);
    eager.show();
    QCOMPARE(test::windowShape(editor), test::windowShape(eager));
}

QTEST_MAIN(TestUserButtons)
#include "test_userbuttons.moc"
