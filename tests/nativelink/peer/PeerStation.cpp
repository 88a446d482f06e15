#include "PeerStation.h"

#include <AsyncApplication.h>
#include <EchoLinkDispatcher.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <random>
#include <sstream>
#include <vector>

namespace peer {

namespace {

constexpr int kToneTickMs = 20;
constexpr auto kAudioReportEvery = std::chrono::milliseconds(200);
constexpr int kMaxToneMs = 10 * 60 * 1000;
constexpr int kMaxGarbage = 100000;
constexpr int kMaxGarbageSize = 1500;

// Control packets go to the port base + 1, voice to the port base.
constexpr int kAudioPortOffset = 0;
constexpr int kCtrlPortOffset = 1;

std::string oneLine(std::string text)
{
  // Events are line based: drop trailing breaks, fold inner ones to a space.
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == '\0'))
    text.pop_back();
  for (auto &c : text)
    if (c == '\r' || c == '\n' || c == '\0')
      c = ' ';
  return text;
}

std::string upper(std::string s)
{
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

bool parseInt(const std::string &s, int min, int max, int &out)
{
  if (s.empty() || s.size() > 9 || !std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c); }))
    return false;
  const int v = std::stoi(s);
  if (v < min || v > max)
    return false;
  out = v;
  return true;
}

bool validIp(const std::string &s)
{
  in_addr a{};
  return inet_pton(AF_INET, s.c_str(), &a) == 1;
}

} // namespace

void emitLine(const std::string &line)
{
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::optional<Options> parseOptions(int argc, char **argv, std::string &error)
{
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](std::string &out) {
      if (i + 1 >= argc) {
        error = "missing value for " + a;
        return false;
      }
      out = argv[++i];
      return true;
    };
    std::string v;
    if (a == "--bind") {
      if (!value(o.bind))
        return std::nullopt;
      if (!validIp(o.bind)) {
        error = "bad address " + o.bind;
        return std::nullopt;
      }
    } else if (a == "--port-base") {
      if (!value(v))
        return std::nullopt;
      if (!parseInt(v, 1, 65534, o.portBase)) {
        error = "bad port base " + v;
        return std::nullopt;
      }
    } else if (a == "--call") {
      if (!value(v))
        return std::nullopt;
      o.call = upper(v); // the library sends the callsign as given
    } else if (a == "--name") {
      if (!value(o.name))
        return std::nullopt;
    } else if (a == "--auto-accept") {
      o.autoAccept = true;
    } else if (a == "--answer-commands") {
      o.answerCommands = true;
    } else if (a == "--refuse") {
      o.refuse = true;
    } else {
      error = "unknown option " + a;
      return std::nullopt;
    }
  }
  if (o.call.empty()) {
    error = "--call is required";
    return std::nullopt;
  }
  return o;
}

std::string answerFor(const std::string &received, std::string &lastFrequency)
{
  // Look only at the text after "CALL>", so a callsign never reads as a command.
  const auto gt = received.find('>');
  const std::string text = gt == std::string::npos ? received : received.substr(gt + 1);

  for (size_t pos = text.find("FN"); pos != std::string::npos; pos = text.find("FN", pos + 2)) {
    size_t end = pos + 2;
    while (end < text.size() && (std::isdigit(static_cast<unsigned char>(text[end])) || text[end] == '.'))
      ++end;
    const std::string number = text.substr(pos + 2, end - pos - 2);
    if (!number.empty() && std::isdigit(static_cast<unsigned char>(number.front()))) {
      lastFrequency = number;
      return "FN" + number + " USB";
    }
  }
  if (text.find("FR?") != std::string::npos)
    return "FN" + lastFrequency + " USB";
  return {};
}

PeerStation::PeerStation(Options opts)
  : m_opts(std::move(opts)), m_toneTimer(kToneTickMs, Async::Timer::TYPE_PERIODIC, false)
{
  m_toneTimer.expired.connect(sigc::mem_fun(*this, &PeerStation::pumpTones));
}

PeerStation::~PeerStation()
{
  m_links.clear();
  EchoLink::Dispatcher::deleteInstance();
}

bool PeerStation::start()
{
  EchoLink::Dispatcher::setPortBase(m_opts.portBase);
  EchoLink::Dispatcher::setBindAddr(Async::IpAddress(m_opts.bind));
  auto *d = EchoLink::Dispatcher::instance();
  if (d == nullptr) {
    emitLine("error cannot bind " + m_opts.bind + " ports " + std::to_string(m_opts.portBase) + "-" +
             std::to_string(m_opts.portBase + 1));
    return false;
  }
  d->incomingConnection.connect(sigc::mem_fun(*this, &PeerStation::onIncoming));
  emitLine("ready");
  return true;
}

PeerStation::Link *PeerStation::createLink(const Async::IpAddress &ip, const std::string &call)
{
  auto link = std::make_unique<Link>();
  link->call = call;
  link->sink = std::make_unique<CountingSink>([this](int n) { onSamples(n); });
  link->qso = std::make_unique<EchoLink::Qso>(ip, m_opts.call, m_opts.name, "Test peer " + m_opts.call);
  if (!link->qso->initOk())
    return nullptr;
  Link *raw = link.get();
  raw->qso->setRemoteCallsign(call);
  raw->qso->stateChange.connect(sigc::bind(sigc::mem_fun(*this, &PeerStation::onStateChange), raw));
  raw->qso->chatMsgReceived.connect(sigc::bind(sigc::mem_fun(*this, &PeerStation::onChat), raw));
  raw->qso->infoMsgReceived.connect(sigc::mem_fun(*this, &PeerStation::onInfo));
  raw->qso->isReceiving.connect(sigc::mem_fun(*this, &PeerStation::onReceiving));
  raw->qso->registerSink(raw->sink.get());
  raw->tone.registerSink(raw->qso.get());
  m_links[ip] = std::move(link);
  m_lastRemote = ip;
  return raw;
}

void PeerStation::onIncoming(const Async::IpAddress &ip, const std::string &call, const std::string &name,
                             const std::string &priv)
{
  auto it = m_links.find(ip);
  if (it != m_links.end()) {
    if (it->second->qso->currentState() != EchoLink::Qso::STATE_DISCONNECTED)
      return; // a repeat of a connect we already answered
    m_links.erase(it); // an old, finished link still waiting to be reaped
  }
  m_lastRemote = ip;
  emitLine("incoming " + call);
  if (!m_opts.autoAccept || m_opts.refuse)
    return;
  Link *link = createLink(ip, call);
  if (link == nullptr) {
    emitLine("error cannot create a connection to " + call);
    return;
  }
  link->qso->setRemoteName(name);
  link->qso->setRemoteParams(priv);
  if (!link->qso->accept())
    emitLine("error accept failed for " + call);
}

void PeerStation::onStateChange(EchoLink::Qso::State state, Link *link)
{
  if (state == EchoLink::Qso::STATE_CONNECTED && !link->connected) {
    link->connected = true;
    emitLine("connected " + link->call);
  } else if (state == EchoLink::Qso::STATE_DISCONNECTED) {
    link->connected = false;
    emitLine("disconnected " + link->call);
    queueReap(); // never delete a connection from inside its own signal
  }
}

void PeerStation::onChat(const std::string &msg, Link *link)
{
  const std::string text = oneLine(msg);
  emitLine("chat " + text);
  if (!m_opts.answerCommands)
    return;
  const std::string reply = answerFor(text, m_lastFrequency);
  if (!reply.empty() && link->connected)
    link->qso->sendChatData(reply);
}

void PeerStation::onInfo(const std::string &msg)
{
  emitLine("info " + oneLine(msg));
}

void PeerStation::onReceiving(bool on)
{
  emitLine(on ? "rx on" : "rx off");
  if (!on) {
    emitLine("audio " + std::to_string(m_samplesReceived));
    m_lastAudioReport = std::chrono::steady_clock::now();
  }
}

void PeerStation::onSamples(int count)
{
  m_samplesReceived += count;
  const auto now = std::chrono::steady_clock::now();
  if (now - m_lastAudioReport >= kAudioReportEvery) {
    m_lastAudioReport = now;
    emitLine("audio " + std::to_string(m_samplesReceived));
  }
}

void PeerStation::pumpTones(Async::Timer *)
{
  bool busy = false;
  for (auto &[ip, link] : m_links)
    if (link->tone.active())
      busy = link->tone.pump() || busy;
  // A final flush still has to happen when pump() returned false: keep ticking while any is active.
  for (auto &[ip, link] : m_links)
    busy = busy || link->tone.active();
  if (!busy)
    m_toneTimer.setEnable(false);
}

void PeerStation::queueReap()
{
  if (m_reapQueued)
    return;
  m_reapQueued = true;
  Async::Application::app().runTask(sigc::mem_fun(*this, &PeerStation::reap));
}

void PeerStation::reap()
{
  m_reapQueued = false;
  for (auto it = m_links.begin(); it != m_links.end();) {
    if (it->second->qso->currentState() == EchoLink::Qso::STATE_DISCONNECTED)
      it = m_links.erase(it);
    else
      ++it;
  }
}

bool PeerStation::anyConnected() const
{
  return std::any_of(m_links.begin(), m_links.end(), [](const auto &l) { return l.second->connected; });
}

void PeerStation::disconnectAll()
{
  for (auto &[ip, link] : m_links)
    if (link->qso->currentState() != EchoLink::Qso::STATE_DISCONNECTED)
      link->qso->disconnect();
}

void PeerStation::sendGarbage(int count)
{
  std::vector<Async::IpAddress> targets;
  for (const auto &[ip, link] : m_links)
    if (link->connected)
      targets.push_back(ip);
  if (targets.empty() && m_lastRemote)
    targets.push_back(*m_lastRemote);
  if (targets.empty()) {
    emitLine("error no station to send to");
    return;
  }

  // Sent from our own address, so the other side's dispatcher hands it to the live connection.
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) {
    emitLine("error socket failed");
    return;
  }
  sockaddr_in local{};
  local.sin_family = AF_INET;
  inet_pton(AF_INET, m_opts.bind.c_str(), &local.sin_addr);
  if (::bind(fd, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0) {
    ::close(fd);
    emitLine("error cannot bind garbage socket");
    return;
  }

  std::random_device seed;
  std::mt19937 rng(seed());
  std::uniform_int_distribution<int> size(0, kMaxGarbageSize);
  std::uniform_int_distribution<int> byte(0, 255);
  std::vector<unsigned char> buf(kMaxGarbageSize);
  for (const auto &ip : targets) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr = ip.ip4Addr();
    for (int i = 0; i < count; ++i) {
      for (const int offset : {kCtrlPortOffset, kAudioPortOffset}) {
        const int len = size(rng);
        for (int k = 0; k < len; ++k)
          buf[static_cast<size_t>(k)] = static_cast<unsigned char>(byte(rng));
        to.sin_port = htons(static_cast<uint16_t>(m_opts.portBase + offset));
        // Loopback drops rather than blocks when the receiver is full; a lost packet is fine here.
        (void)::sendto(fd, buf.data(), static_cast<size_t>(len), 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
      }
    }
  }
  ::close(fd);
}

bool PeerStation::handleCommand(const std::string &rawLine)
{
  const std::string line = oneLine(rawLine);
  if (line.empty())
    return true;
  const auto sp = line.find(' ');
  const std::string cmd = line.substr(0, sp);
  const std::string rest = sp == std::string::npos ? std::string() : line.substr(sp + 1);
  std::istringstream args(rest);
  std::vector<std::string> words;
  for (std::string w; args >> w;)
    words.push_back(w);

  if (cmd == "quit")
    return false;

  if (cmd == "connect") {
    if (words.size() != 2 || !validIp(words[0])) {
      emitLine("error usage: connect <ip> <CALL>");
      return true;
    }
    const Async::IpAddress ip(words[0]);
    auto it = m_links.find(ip);
    if (it != m_links.end()) {
      if (it->second->qso->currentState() != EchoLink::Qso::STATE_DISCONNECTED) {
        emitLine("error already linked to " + words[0]);
        return true;
      }
      m_links.erase(it);
    }
    Link *link = createLink(ip, upper(words[1]));
    if (link == nullptr || !link->qso->connect()) {
      m_links.erase(ip);
      emitLine("error cannot connect to " + words[0]);
    }
  } else if (cmd == "chat" || cmd == "info") {
    if (!anyConnected()) {
      emitLine("error not connected");
      return true;
    }
    for (auto &[ip, link] : m_links) {
      if (!link->connected)
        continue;
      if (cmd == "chat") {
        link->qso->sendChatData(rest);
      } else {
        link->qso->setLocalInfo(rest);
        link->qso->sendInfoData(rest);
      }
    }
  } else if (cmd == "tone") {
    int ms = 0;
    if (words.size() != 1 || !parseInt(words[0], 1, kMaxToneMs, ms)) {
      emitLine("error usage: tone <ms>");
      return true;
    }
    if (!anyConnected()) {
      emitLine("error not connected");
      return true;
    }
    for (auto &[ip, link] : m_links)
      if (link->connected)
        link->tone.start(ms);
    if (!m_toneTimer.isEnabled())
      m_toneTimer.setEnable(true);
  } else if (cmd == "garbage") {
    int count = 0;
    if (words.size() != 1 || !parseInt(words[0], 0, kMaxGarbage, count)) {
      emitLine("error usage: garbage <count>");
      return true;
    }
    sendGarbage(count);
  } else if (cmd == "disconnect") {
    if (m_links.empty())
      emitLine("error not connected");
    disconnectAll();
  } else {
    emitLine("error unknown command: " + cmd);
  }
  return true;
}

} // namespace peer
