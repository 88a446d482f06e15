#include "app/TerminationSignals.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace tavrin {

#ifdef Q_OS_UNIX

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT};
int s_pipe[2] = {-1, -1}; // [0] written by the handler, [1] read by the notifier

extern "C" void onTerminationSignal(int signalNumber)
{
    const int savedErrno = errno;
    const char byte = static_cast<char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(s_pipe[0], &byte, 1);
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent)
{
    if (s_pipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, s_pipe) != 0)
        return; // without the pair the signals keep their default: the program still ends
    notifier_ = std::make_unique<QSocketNotifier>(s_pipe[1], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &TerminationSignals::readPipe);
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (int signalNumber : kSignals)
        ::sigaction(signalNumber, &action, nullptr);
}

TerminationSignals::~TerminationSignals()
{
    if (!notifier_)
        return;
    for (int signalNumber : kSignals)
        ::signal(signalNumber, SIG_DFL);
    notifier_.reset();
    ::close(s_pipe[0]);
    ::close(s_pipe[1]);
    s_pipe[0] = s_pipe[1] = -1;
}

void TerminationSignals::readPipe()
{
    char byte = 0;
    if (::read(s_pipe[1], &byte, 1) == 1)
        Q_EMIT received(static_cast<unsigned char>(byte));
}

#else

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent) { }
TerminationSignals::~TerminationSignals() = default;
void TerminationSignals::readPipe() { }

#endif

} // namespace tavrin
