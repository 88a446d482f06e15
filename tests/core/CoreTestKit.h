#pragma once
// Builds the whole program through the composition root with the fake client, a recording
// message-box double and a temporary settings directory.

#include "core/MainWindow.h"
#include "core/Program.h"
#include "station/StationState.h"
#include "station/TransmitControl.h"
#include "support/FakeEchoLink.h"
#include "support/LocalHttpServer.h"

#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

namespace tavrin::test {

class RecordingDialogs final : public Dialogs {
public:
    struct Shown {
        QMessageBox::Icon icon;
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
    };
    QList<Shown> shown;
    std::function<void()> whileShown; // what happens while the box waits for its answer

    QMessageBox::StandardButton message(QWidget *, QMessageBox::Icon icon, const QString &title, const QString &text,
                                        QMessageBox::StandardButtons buttons) override
    {
        shown.append({icon, title, text, buttons});
        if (whileShown)
            whileShown();
        return buttons.testFlag(QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::Yes;
    }
};

// One program run. Several rigs may share one settings directory (second instance).
struct Rig {
    explicit Rig(const QString &settingsDir) : factory(backend.factory())
    {
        options.clientFactory = factory.get();
        options.settingsDir = settingsDir;
        options.dialogs = &dialogs;
        options.clock = &clock;
        // The statistics report goes to loopback, where nothing answers.
        options.servers = closedLoopbackServers();
    }

    Program &program()
    {
        if (!program_)
            program_ = std::make_unique<Program>(options);
        return *program_;
    }
    bool start() { return program().start(); }
    MainWindow *window() { return program().mainWindow(); }

    template <class T>
    T *find(const QString &name)
    {
        T *found = window()->findChild<T *>(name);
        if (!found)
            qWarning("no control %s", qPrintable(name));
        return found;
    }
    void trigger(const QString &action) { find<QAction>(action)->trigger(); }

    FakeEchoLinkBackend backend;
    std::unique_ptr<EchoLinkClientFactory> factory;
    RecordingDialogs dialogs;
    ManualClock clock{QDateTime(QDate(2024, 5, 4), QTime(9, 5, 7))};
    ProgramOptions options;

private:
    std::unique_ptr<Program> program_;
};

inline QString readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

} // namespace tavrin::test
