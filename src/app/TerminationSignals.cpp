#include "app/TerminationSignals.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <iterator>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace tavrin {

#ifdef Q_OS_UNIX

namespace {

// SIGHUP: the terminal or the remote session that started the program went away.
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
int s_pipe[2] = {-1, -1}; // [0] written by the handler, [1] read by the notifier
bool s_caught[std::size(kSignals)] = {};

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
    for (size_t i = 0; i < std::size(kSignals); ++i) {
        // A signal the starter chose to ignore (nohup, a background job) stays ignored.
        struct sigaction before = {};
        if (::sigaction(kSignals[i], nullptr, &before) == 0 && before.sa_handler == SIG_IGN)
            continue;
        s_caught[i] = ::sigaction(kSignals[i], &action, nullptr) == 0;
    }
}

TerminationSignals::~TerminationSignals()
{
    if (!notifier_)
        return;
    for (size_t i = 0; i < std::size(kSignals); ++i) {
        if (s_caught[i])
            ::signal(kSignals[i], SIG_DFL);
        s_caught[i] = false;
    }
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
