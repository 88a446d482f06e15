#pragma once
// The text protocol of the rig server, as plain functions: the rigctld default protocol as
// Hamlib's NET rigctl client (rig model 2) speaks it, one command per line (loggers may run
// several into one), plus the long "\name" forms and the extended reply forms ("+", ";",
// "|", ",") that scripts use; "#" starts a comment to the end of the line.
//
// Frequencies are whole hertz in 64-bit integers; nothing here touches a binary double.
// No sockets, no widgets: RigServer feeds lines in, writes the replies out.

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace tavrin::rig {

// Hamlib's result codes as they go on the wire ("RPRT -11").
inline constexpr int kOk = 0;
inline constexpr int kInvalid = -1;     // bad argument, unreadable line
inline constexpr int kIoError = -6;     // the line to the node could not be sent
inline constexpr int kRejected = -9;    // the station refused (no station connected)
inline constexpr int kUnavailable = -11; // not offered by this station

// The receive range we advertise and accept: 160 m to the top of HF.
inline constexpr qint64 kLowestHz = 1'800'000;
inline constexpr qint64 kHighestHz = 30'000'000;
// The node's frequency reports carry four decimals of MHz.
inline constexpr qint64 kStepHz = 100;
// A longer line is no client of ours: the connection is closed.
inline constexpr int kMaxLineBytes = 1024;

inline constexpr char kDefaultMode[] = "USB";
inline constexpr char kVfoName[] = "VFOA";

enum class Command {
    GetFreq,
    SetFreq,
    GetMode,
    SetMode,
    GetPtt,
    SetPtt,
    GetVfo,
    SetVfo,
    GetSplit,
    SetSplit,
    GetPowerStat,
    GetLockMode,
    ChkVfo,
    DumpState,
    GetVfoInfo,
    Quit,
    Unknown,   // a command we do not offer
    Malformed, // not a command line at all
};

struct Request {
    Command command = Command::Unknown;
    QByteArray name;       // the long name ("set_freq"), for extended replies
    QList<QByteArray> args;
    char separator = 0;    // 0: default protocol; otherwise the extended reply separator
};

// The commands of one line (without its line end), in order; several may share a line
// ("fmv", "F 7074000 f"), as rigctld takes them. An empty line gives none (nothing to answer).
// A command whose arguments are missing is malformed here; a connection's lines go through
// the form below, which waits for them.
QList<Request> parseLine(const QByteArray &line);

// "14074000", "14074000.000000", "14074055.9": whole hertz, fraction dropped; nullopt when
// the text is no unsigned decimal number or is absurdly long.
std::optional<qint64> parseHertz(const QByteArray &text);

// One of Hamlib's mode names ("USB", "PKTUSB", ...), as set_mode takes them.
bool isModeName(const QByteArray &word);
// The passband we state for a mode (SSB 2400 Hz, CW 500 Hz, ...).
int passbandOf(const QByteArray &mode);

// The \dump_state block (protocol 1). With `settings`, it goes on with the "name=value"
// lines and "done" that Hamlib 4 clients read; they ask \chk_vfo first to say they do. As
// rigctld does, a client that has not asked gets the block without them: a Hamlib 3 client
// stops reading before them, and would take them for the answers to its next commands.
QByteArray dumpStateText(bool settings = true);

// What a command needs from the station; RigServer's control implements it.
class RigBackend {
public:
    virtual ~RigBackend() = default;
    virtual qint64 frequencyHz() const = 0;
    virtual int setFrequencyHz(qint64 hz) = 0; // a result code
    virtual QByteArray mode() const = 0;
    virtual bool transmitting() const = 0;
    virtual int setPtt(int client, bool on) = 0; // a result code
};

struct Reply {
    QByteArray text;
    bool close = false; // answer, then close the connection
};

// What one connection has said about itself so far.
struct Session {
    bool chkVfo = false; // asked \chk_vfo: a Hamlib 4 client (see dumpStateText())
    // A command whose line ended before its arguments did ("F", then "7074000"): rigctld
    // reads them from the lines that follow, and so do we. Its arguments are words of at
    // most a line each, so what waits here stays small.
    std::optional<Request> awaiting;
};

// The commands of one line of a connection, as parseLine() above, except that a command
// still missing arguments at the end of the line waits in `session` for the next lines
// (blank lines are skipped); their first words complete it, and the rest of that line goes
// on as usual.
QList<Request> parseLine(const QByteArray &line, Session &session);

// The whole answer to one command from connection `client`.
Reply answer(const Request &request, RigBackend &backend, int client, Session &session);

} // namespace tavrin::rig
