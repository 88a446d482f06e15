// A scriptable EchoLink station for tests: commands on stdin, events on stdout, one per line.
#pragma once

#include "PeerAudio.h"

#include <AsyncIpAddress.h>
#include <AsyncTimer.h>
#include <EchoLinkQso.h>
#include <sigc++/sigc++.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace peer {

struct Options
{
  std::string bind = "127.0.0.2";
  int portBase = 15198;
  std::string call;
  std::string name = "Test Peer";
  bool autoAccept = false;
  bool answerCommands = false;
  bool refuse = false;
};

// Parses the command line; on a fault returns nullopt and sets error.
std::optional<Options> parseOptions(int argc, char **argv, std::string &error);

// The reply an answering station gives to a received chat line, or "" when it is not a command.
// lastFrequency is updated by "FN<number>" lines.
std::string answerFor(const std::string &received, std::string &lastFrequency);

// Writes one event line to stdout and flushes it.
void emitLine(const std::string &line);

class PeerStation : public sigc::trackable
{
public:
  explicit PeerStation(Options opts);
  ~PeerStation();
  PeerStation(const PeerStation &) = delete;
  PeerStation &operator=(const PeerStation &) = delete;

  // Opens the link ports. False (with an error line printed) when they cannot be bound.
  bool start();
  // Runs one stdin command line. Returns false for "quit".
  bool handleCommand(const std::string &line);
  // Says goodbye to every station; the caller ends the loop shortly after.
  void disconnectAll();

private:
  struct Link
  {
    std::string call;
    bool connected = false;
    ToneSource tone;
    std::unique_ptr<CountingSink> sink;
    std::unique_ptr<EchoLink::Qso> qso; // destroyed first: it is wired to tone and sink
  };

  Options m_opts;
  std::map<Async::IpAddress, std::unique_ptr<Link>> m_links;
  std::optional<Async::IpAddress> m_lastRemote;
  std::string m_lastFrequency = "14.2000";
  int64_t m_samplesReceived = 0;
  std::chrono::steady_clock::time_point m_lastAudioReport;
  Async::Timer m_toneTimer;
  bool m_reapQueued = false;

  Link *createLink(const Async::IpAddress &ip, const std::string &call);
  void onIncoming(const Async::IpAddress &ip, const std::string &call, const std::string &name,
                  const std::string &priv);
  void onStateChange(EchoLink::Qso::State state, Link *link);
  void onChat(const std::string &msg, Link *link);
  void onInfo(const std::string &msg);
  void onReceiving(bool on);
  void onSamples(int count);
  void pumpTones(Async::Timer *);
  void reap();
  void queueReap();
  void sendGarbage(int count);
  bool anyConnected() const;
};

} // namespace peer
