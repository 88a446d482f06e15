// How scenario steps find, drive and read controls, and how message boxes are answered.

#include "scenario/ControlProbe.h"
#include "scenario/ScenarioDialogs.h"

#include <QtTest>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

using namespace tavrin;
using namespace tavrin::scenario;

namespace {

// A label that reacts to a full press and release, like the main window's pictures.
class PictureLabel : public QLabel {
public:
    using QLabel::QLabel;
    int clicks = 0;

protected:
    void mousePressEvent(QMouseEvent *) override { pressed_ = true; }
    void mouseReleaseEvent(QMouseEvent *) override
    {
        if (pressed_)
            ++clicks;
        pressed_ = false;
    }

private:
    bool pressed_ = false;
};

} // namespace

// A window with one of each kind of control, and a panel that owns a timer and its tick.
class TickPanel : public QWidget {
    Q_OBJECT
public:
    explicit TickPanel(QWidget *parent) : QWidget(parent)
    {
        auto *timer = new QTimer(this);
        timer->setObjectName(QStringLiteral("Timer3"));
    }
    int ticks = 0;
public slots:
    void Timer3_Timer() { ++ticks; }
};

class FakeWindow : public QWidget {
    Q_OBJECT
public:
    FakeWindow()
    {
        setObjectName(QStringLiteral("Form2"));
        setWindowTitle(QStringLiteral("Tavrin    XX1TVR-L"));
        auto *layout = new QVBoxLayout(this);
        auto *bar = new QMenuBar(this);
        exitAction = bar->addAction(QStringLiteral("Exit Program"));
        exitAction->setObjectName(QStringLiteral("fin"));
        layout->setMenuBar(bar);

        entry = new QLineEdit(this);
        entry->setObjectName(QStringLiteral("Text3"));
        entry->setMaxLength(8);
        // Upper-cases as the operator types, as the callsign fields do.
        connect(entry, &QLineEdit::textEdited, entry, [this](const QString &t) { entry->setText(t.toUpper()); });
        connect(entry, &QLineEdit::returnPressed, this, [this] { ++enters; });
        layout->addWidget(entry);

        log = new QTextEdit(this);
        log->setObjectName(QStringLiteral("RTB2"));
        layout->addWidget(log);

        button = new QPushButton(QStringLiteral("&Save"), this);
        button->setObjectName(QStringLiteral("Command27"));
        connect(button, &QPushButton::clicked, this, [this] { ++saves; });
        layout->addWidget(button);

        hidden = new QPushButton(QStringLiteral("Hide"), this);
        hidden->setObjectName(QStringLiteral("Command28"));
        hidden->hide();
        layout->addWidget(hidden);

        check = new QCheckBox(QStringLiteral("Busy"), this);
        check->setObjectName(QStringLiteral("Check1"));
        layout->addWidget(check);

        picture = new PictureLabel(QStringLiteral("pic"), this);
        picture->setObjectName(QStringLiteral("Picture5"));
        layout->addWidget(picture);

        state = new QLabel(QStringLiteral("Receive Mode"), this);
        state->setObjectName(QStringLiteral("Label3"));
        QPalette p = state->palette();
        p.setColor(QPalette::WindowText, QColor(255, 0, 0));
        p.setColor(QPalette::Window, QColor(192, 192, 192));
        state->setPalette(p);
        layout->addWidget(state);

        panel = new TickPanel(this);
        layout->addWidget(panel);
    }

    QAction *exitAction;
    QLineEdit *entry;
    QTextEdit *log;
    QPushButton *button;
    QPushButton *hidden;
    QCheckBox *check;
    PictureLabel *picture;
    QLabel *state;
    TickPanel *panel;
    int saves = 0;
    int enters = 0;
};

class TestScenarioControls : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void namesResolveInsideTheirWindow();
    void readsWhatControlsShow();
    void clicksReachOnlyUsableControls();
    void typingIsKeystrokes();
    void ticksCallTheOwnersSlot();
    void messageBoxesAreAnswered();

private:
    ControlRef found(const QString &name)
    {
        ControlRef ref;
        const Outcome o = probe_->find(name, &ref);
        if (!o.ok)
            qWarning("%s: %s", qPrintable(o.expected), qPrintable(o.got));
        return ref;
    }

    FakeWindow *main_ = nullptr;
    QWidget *editor_ = nullptr;
    std::unique_ptr<ControlProbe> probe_;
};

void TestScenarioControls::init()
{
    main_ = new FakeWindow;
    editor_ = new QWidget;
    editor_->setObjectName(QStringLiteral("FormSet1"));
    editor_->setWindowTitle(QStringLiteral("Frequency Setup 1"));
    auto *field = new QLineEdit(QStringLiteral("1.8500"), editor_);
    field->setObjectName(QStringLiteral("Text3")); // same name as in the main window
    probe_ = std::make_unique<ControlProbe>([this](const QString &name) -> QWidget * {
        if (name == QLatin1String("Form2"))
            return main_;
        if (name == QLatin1String("FormSet1"))
            return editor_;
        return nullptr;
    });
    main_->show();
}

void TestScenarioControls::cleanup()
{
    delete main_;
    delete editor_;
    probe_.reset();
}

void TestScenarioControls::namesResolveInsideTheirWindow()
{
    QCOMPARE(found(QStringLiteral("Text3")).object.data(), main_->entry);
    QCOMPARE(found(QStringLiteral("Form2.Text3")).object.data(), main_->entry);
    QCOMPARE(found(QStringLiteral("FormSet1.Text3")).object.data(), editor_->findChild<QLineEdit *>("Text3"));
    QCOMPARE(found(QStringLiteral("FormSet1")).object.data(), editor_); // a bare window name
    QCOMPARE(found(QStringLiteral("fin")).object.data(), main_->exitAction);
    QCOMPARE(found(QStringLiteral("Timer3")).object.data(), main_->panel->findChild<QTimer *>());

    ControlRef ref;
    Outcome missing = probe_->find(QStringLiteral("Form2.Command99"), &ref);
    QVERIFY(!missing.ok);
    QVERIFY(missing.expected.contains(QStringLiteral("Command99")));
    QCOMPARE(missing.got, QStringLiteral("none"));
    QVERIFY(!probe_->find(QStringLiteral("Form9.Text3"), &ref).ok);
    QVERIFY(!probe_->find(QStringLiteral("Form2."), &ref).ok);
}

void TestScenarioControls::readsWhatControlsShow()
{
    auto read = [this](const QString &name, const QString &property) {
        QString value;
        const Outcome o = probe_->read(found(name), property, &value);
        return o.ok ? value : QStringLiteral("<%1>").arg(o.got);
    };
    QCOMPARE(read("Form2", "caption"), QStringLiteral("Tavrin    XX1TVR-L"));
    QCOMPARE(read("Command27", "caption"), QStringLiteral("&Save"));
    QCOMPARE(read("fin", "text"), QStringLiteral("Exit Program"));
    QCOMPARE(read("Label3", "color"), QStringLiteral("#ff0000"));
    QCOMPARE(read("Label3", "backcolor"), QStringLiteral("#c0c0c0"));

    main_->log->setHtml(QStringLiteral("<b>XX9XYZ-L</b>&gt;FN14.2300 USB"));
    QCOMPARE(read("RTB2", "text"), QStringLiteral("XX9XYZ-L>FN14.2300 USB"));

    QCOMPARE(read("Command28", "visible"), QStringLiteral("false"));
    QCOMPARE(read("Command27", "visible"), QStringLiteral("true"));
    // A control in a hidden window reports its own visibility, not the window's.
    QCOMPARE(read("FormSet1", "visible"), QStringLiteral("false"));
    QCOMPARE(read("FormSet1.Text3", "visible"), QStringLiteral("true"));

    QCOMPARE(read("Timer3", "enabled"), QStringLiteral("false"));
    main_->panel->findChild<QTimer *>()->start(1000);
    QCOMPARE(read("Timer3", "enabled"), QStringLiteral("true"));

    main_->check->setChecked(true);
    QCOMPARE(read("Check1", "checked"), QStringLiteral("true"));
    QVERIFY(read("Label3", "checked").startsWith(u'<')); // labels have no checked state
    QVERIFY(read("Timer3", "color").startsWith(u'<'));
}

void TestScenarioControls::clicksReachOnlyUsableControls()
{
    QVERIFY(probe_->click(found("Command27")).ok);
    QCOMPARE(main_->saves, 1);

    main_->button->setEnabled(false);
    Outcome disabled = probe_->click(found("Command27"));
    QVERIFY(!disabled.ok);
    QCOMPARE(disabled.got, QStringLiteral("disabled"));
    QCOMPARE(main_->saves, 1);

    Outcome hidden = probe_->click(found("Command28"));
    QVERIFY(!hidden.ok);
    QCOMPARE(hidden.got, QStringLiteral("hidden"));

    QSignalSpy triggered(main_->exitAction, &QAction::triggered);
    QVERIFY(probe_->click(found("fin")).ok);
    QCOMPARE(triggered.size(), 1);

    QVERIFY(probe_->click(found("Picture5")).ok);
    QCOMPARE(main_->picture->clicks, 1);

    QVERIFY(!probe_->click(found("Timer3")).ok); // timers are ticked, not clicked
}

void TestScenarioControls::typingIsKeystrokes()
{
    const ControlRef entry = found("Text3");
    main_->entry->setText(QStringLiteral("OLD"));
    QVERIFY(probe_->type(entry, QStringLiteral("xx9xyz-l extra")).ok);
    // Replaces the old text, goes through the upper-casing handler, stops at the length limit.
    QCOMPARE(main_->entry->text(), QStringLiteral("XX9XYZ-L"));

    QVERIFY(probe_->type(entry, QString()).ok);
    QCOMPARE(main_->entry->text(), QString());

    QVERIFY(probe_->pressKey(entry, *keyFromName(QStringLiteral("Enter"))).ok);
    QCOMPARE(main_->enters, 1);

    QVERIFY(!probe_->type(found("Label3"), QStringLiteral("x")).ok);
    // The editor window is hidden: nobody can type there.
    QVERIFY(!probe_->type(found("FormSet1.Text3"), QStringLiteral("1.9")).ok);
}

void TestScenarioControls::ticksCallTheOwnersSlot()
{
    QVERIFY(probe_->tick(QStringLiteral("Timer3"), 3).ok);
    QCOMPARE(main_->panel->ticks, 3);
    QVERIFY(probe_->tick(QStringLiteral("Form2.Timer3"), 1).ok);
    QCOMPARE(main_->panel->ticks, 4);
    Outcome none = probe_->tick(QStringLiteral("Form2.Timer9"), 1);
    QVERIFY(!none.ok);
    QVERIFY(none.expected.contains(QStringLiteral("Timer9_Timer()")));
}

void TestScenarioControls::messageBoxesAreAnswered()
{
    ScenarioDialogs dialogs;
    QCOMPARE(dialogs.message(nullptr, QMessageBox::Information, "T", "Program is already running.", QMessageBox::Ok),
             QMessageBox::Ok);
    QVERIFY(dialogs.askYesNo(nullptr, "T", "Set the default directory?")); // Yes without an answer
    dialogs.queueAnswer(QMessageBox::No, 7);
    QVERIFY(!dialogs.askYesNo(nullptr, "T", "Start the update?"));
    QVERIFY(!dialogs.mismatch());

    dialogs.queueAnswer(QMessageBox::No, 9);
    dialogs.info(nullptr, "T", "Saved."); // OK only: the queued No cannot be given
    QVERIFY(dialogs.mismatch());
    QCOMPARE(dialogs.mismatch()->line, 9);
    QCOMPARE(dialogs.shown().size(), 4);
    QCOMPARE(dialogs.shown().at(0).text, QStringLiteral("Program is already running."));
    QCOMPARE(dialogs.shown().at(2).answer, QMessageBox::No);
    QCOMPARE(dialogs.shown().at(3).answer, QMessageBox::Ok);
}

QTEST_MAIN(TestScenarioControls)
#include "test_scenario_controls.moc"
