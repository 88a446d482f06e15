#pragma once
// A real rigctld (Hamlib's network rig daemon) on a free loopback port, driving Hamlib's
// dummy rig: the network path of the node's rig, and a rig that can be made to hang
// (stopped) or vanish (killed) mid-command.

#include "node/HamlibRig.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTest>

#include <signal.h>

namespace tavrin::test {

class Rigctld {
public:
    ~Rigctld() { stop(); }

    static bool available() { return !QStandardPaths::findExecutable(QStringLiteral("rigctld")).isEmpty(); }

    // Starts on `port`, or on a free port when 0. False when it never listened.
    bool start(quint16 port = 0)
    {
        if (port == 0) {
            QTcpServer probe;
            if (!probe.listen(QHostAddress::LocalHost, 0))
                return false;
            port = probe.serverPort();
        }
        port_ = port;
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral("rigctld"), {QStringLiteral("-m"), QStringLiteral("1"), QStringLiteral("-P"),
                                                     QStringLiteral("RIG"), QStringLiteral("-T"),
                                                     QStringLiteral("127.0.0.1"), QStringLiteral("-t"),
                                                     QString::number(port)});
        if (!process_.waitForStarted(10000))
            return false;
        // Listening is not yet answering: ready once a Hamlib client can open it.
        tavrin::node::HamlibOptions o;
        o.model = 2;
        o.port = address();
        o.timeoutMs = 1000;
        for (int i = 0; i < 200 && process_.state() == QProcess::Running; ++i) {
            try {
                tavrin::node::HamlibRig probe(o);
                probe.open();
                return true;
            } catch (const tavrin::node::RigError &) {
                QTest::qWait(100);
            }
        }
        return false;
    }

    void stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        resume();
        process_.kill();
        process_.waitForFinished(10000);
    }
    void pause() { ::kill(pid_t(process_.processId()), SIGSTOP); }
    void resume() { ::kill(pid_t(process_.processId()), SIGCONT); }

    quint16 port() const { return port_; }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }

private:
    QProcess process_;
    quint16 port_ = 0;
};

} // namespace tavrin::test
