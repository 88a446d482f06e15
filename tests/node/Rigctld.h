#pragma once
// A real rigctld (Hamlib's network rig daemon) on a free loopback port, driving Hamlib's
// dummy rig: the network path of the node's rig, and a rig that can be made to hang
// (stopped) or vanish (killed) mid-command.

#include "node/HamlibRig.h"

#include <QFile>
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

    // Starts on `port`, or on a free port when 0. False when it never listened. Without
    // catPtt, the dummy rig takes no keying, as a plain "rigctld -m 1" does.
    bool start(quint16 port = 0, bool catPtt = true)
    {
        if (port == 0) {
            QTcpServer probe;
            if (!probe.listen(QHostAddress::LocalHost, 0))
                return false;
            port = probe.serverPort();
        }
        port_ = port;
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QStringList args{QStringLiteral("-m"), QStringLiteral("1"), QStringLiteral("-T"), QStringLiteral("127.0.0.1"),
                         QStringLiteral("-t"), QString::number(port)};
        if (catPtt)
            args << QStringLiteral("-P") << QStringLiteral("RIG");
        process_.start(QStringLiteral("rigctld"), args);
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
    // Returns once the daemon really is stopped: the signal is only queued by kill(), and a
    // loaded machine may let the daemon answer one more request before it takes effect.
    void pause()
    {
        ::kill(pid_t(process_.processId()), SIGSTOP);
        QFile stat(QStringLiteral("/proc/%1/stat").arg(process_.processId()));
        (void)QTest::qWaitFor([&] {
            if (!stat.open(QIODevice::ReadOnly))
                return true;
            const QByteArray line = stat.readAll();
            stat.close();
            const qsizetype paren = line.lastIndexOf(')');
            return paren < 0 || line.mid(paren + 2, 1) == "T";
        }, 5000);
    }
    void resume() { ::kill(pid_t(process_.processId()), SIGCONT); }

    quint16 port() const { return port_; }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }

private:
    QProcess process_;
    quint16 port_ = 0;
};

} // namespace tavrin::test
