// echolink-peer: a scriptable EchoLink station for the link's tests.
//   echolink-peer --bind 127.0.0.2 --port-base 15198 --call PEER-L [--name NAME]
//                 [--auto-accept] [--answer-commands] [--refuse]
// Commands on stdin, events on stdout, one per line (see PeerStation.h).
#include "PeerStation.h"

#include <AsyncCppApplication.h>
#include <AsyncFdWatch.h>
#include <AsyncTimer.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

constexpr int kQuitDelayMs = 100; // lets the goodbye packets leave before the sockets close
constexpr size_t kMaxLine = 64 * 1024;

class StdinReader : public sigc::trackable
{
public:
  StdinReader(peer::PeerStation &station, Async::CppApplication &app)
    : m_station(station), m_app(app), m_watch(STDIN_FILENO, Async::FdWatch::FD_WATCH_RD)
  {
    m_watch.activity.connect(sigc::mem_fun(*this, &StdinReader::onReadable));
  }

  void shutdown()
  {
    if (m_quitting)
      return;
    m_quitting = true;
    m_watch.setEnabled(false);
    m_station.disconnectAll();
    m_quitTimer = std::make_unique<Async::Timer>(kQuitDelayMs);
    m_quitTimer->expired.connect([this](Async::Timer *) { m_app.quit(); });
  }

private:
  peer::PeerStation &m_station;
  Async::CppApplication &m_app;
  Async::FdWatch m_watch;
  std::unique_ptr<Async::Timer> m_quitTimer;
  std::string m_buffer;
  bool m_quitting = false;

  void onReadable(Async::FdWatch *)
  {
    char chunk[4096];
    const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (n <= 0) {
      shutdown(); // the test closed our stdin: we are done
      return;
    }
    m_buffer.append(chunk, static_cast<size_t>(n));
    for (auto nl = m_buffer.find('\n'); nl != std::string::npos && !m_quitting; nl = m_buffer.find('\n')) {
      const std::string line = m_buffer.substr(0, nl);
      m_buffer.erase(0, nl + 1);
      if (!m_station.handleCommand(line))
        shutdown();
    }
    if (m_buffer.size() > kMaxLine) {
      peer::emitLine("error line too long");
      m_buffer.clear();
    }
  }
};

} // namespace

// The protocol library leaks a signal slot per received voice stream; not ours to fix, and the
// peer must stay clean under the leak checker. The slow unwinder sees through the library's
// frames (built without frame pointers), so the suppression can name it and nothing else.
extern "C" const char *__lsan_default_suppressions();
extern "C" __attribute__((used)) const char *__lsan_default_suppressions()
{
  return "leak:libecholib\n";
}
extern "C" const char *__asan_default_options();
extern "C" __attribute__((used)) const char *__asan_default_options()
{
  return "fast_unwind_on_malloc=0";
}

int main(int argc, char **argv)
{
  std::string error;
  const auto opts = peer::parseOptions(argc, argv, error);
  if (!opts) {
    peer::emitLine("error " + error);
    std::fprintf(stderr,
                 "usage: %s --bind IP --port-base N --call CALL [--name NAME] [--auto-accept] "
                 "[--answer-commands] [--refuse]\n",
                 argv[0]);
    return 2;
  }
  std::signal(SIGPIPE, SIG_IGN);

  Async::CppApplication app;
  {
    peer::PeerStation station(*opts);
    if (!station.start())
      return 1;
    StdinReader reader(station, app);
    app.catchUnixSignal(SIGTERM);
    app.catchUnixSignal(SIGINT);
    app.unixSignalCaught.connect([&reader](int) { reader.shutdown(); });
    app.exec();
    app.uncatchUnixSignal(SIGTERM);
    app.uncatchUnixSignal(SIGINT);
  }
  return 0;
}
