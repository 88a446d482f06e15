#pragma once
// The EchoLink directory conversation as plain data: encoding the login and list requests,
// reading the login answer, and an incremental reader for the station list. No sockets.
//
// The station list reply is line-based:
//   "@@@", the number of entries, then four lines per entry (callsign, description with a
//   " [STATUS HH:MM]" suffix, node number, IPv4 address), then "+++".
// Lines may end in "\n" or "\r\n"; the final "+++" may lack its line end. The reader keeps
// hard limits on line length, entry count and total size, so a hostile or broken server
// costs bounded memory and gives a clear error instead of a partial list.
//
// Thread: any; no shared state.

#include <QByteArray>
#include <QByteArrayView>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <QTime>

namespace tavrin {

struct DirectoryStation {
    QString callsign;    // upper case, as listed
    QString description; // location text without the status suffix
    QString status;      // "ON", "BUSY", ... as listed; empty when none
    QString time;        // "HH:MM" as listed; empty when none
    quint32 id = 0;      // node number
    QHostAddress address;
};

enum class DirectoryStatus { Online, Busy, Offline };

namespace directory {

// The client version we announce in the login status.
inline constexpr char kClientVersion[] = "3.40";
// Descriptions and refusal reasons are cut to this many characters for display.
inline constexpr int kDisplayChars = 256;
inline constexpr int kReasonChars = 120;

// "l" + CALL + "\xac\xac" + password + "\r" + status + "(HH:MM)\r" + description + "\r".
// Control characters in the fields are dropped so they cannot break the framing.
QByteArray encodeLogin(const QString &callsign, const QString &password, DirectoryStatus status,
                       QTime localTime, const QString &description);
// "ONLINE3.40", "BUSY3.40" or "OFF-V3.40".
QByteArray statusText(DirectoryStatus status);
QByteArray encodeListRequest();

// The login answer as it arrives. Decided once enough has been read: "OK..." succeeds; any
// other text is the reason for the refusal (first line, printable characters only, cut).
struct LoginReply {
    enum class State { NeedMore, Accepted, Refused };
    State state = State::NeedMore;
    QString reason;
};
// `complete`: the server closed the connection, nothing more will come.
LoginReply readLoginReply(QByteArrayView received, bool complete);
// Login answers are short: more than this is decided from what has arrived.
inline constexpr qsizetype kMaxLoginReply = 512;

// Text from the wire (decodeUtf8OrWindows1252) with control characters and direction
// controls dropped.
QString cleanText(QByteArrayView bytes);
// At most `chars` characters, never splitting a surrogate pair.
QString cutText(const QString &text, int chars);

struct ListLimits {
    qsizetype maxLineBytes = 1024;
    qsizetype maxEntries = 100000;
    qsizetype maxReplyBytes = 32 * 1024 * 1024;
};

class StationListReader {
public:
    enum class State { NeedMore, Done, Failed };
    enum class Error {
        None,
        LineTooLong,
        TooManyEntries,
        ReplyTooLarge,
        Truncated,
        NotAList,      // the reply does not start with "@@@"
        BadCount,
        CountMismatch, // "+++" early, or more entries than announced
        BadCallsign,
        BadId,
        BadAddress,
    };

    explicit StationListReader(ListLimits limits = {});

    // Feeds the next bytes of the reply. Bytes after the end of the list are ignored.
    State feed(QByteArrayView bytes);
    // The connection closed: the list must be complete by now.
    State finish();

    State state() const { return state_; }
    Error error() const { return error_; }
    // What went wrong, for a message ("line 7 longer than 1024 bytes"); empty when fine.
    QString errorDetail() const { return detail_; }
    bool tooLarge() const; // an error of the size kind
    // The stations, once Done; empty otherwise.
    QList<DirectoryStation> takeStations();

private:
    void line(QByteArrayView text);
    void fail(Error error, const QString &detail);

    enum class Expect { Header, Count, Callsign, Description, Id, Address, End };

    ListLimits limits_;
    State state_ = State::NeedMore;
    Error error_ = Error::None;
    QString detail_;
    Expect expect_ = Expect::Header;
    QByteArray partial_; // the current line, not yet ended
    qsizetype received_ = 0;
    qsizetype lineNumber_ = 0;
    qsizetype announced_ = 0;
    DirectoryStation current_;
    QList<DirectoryStation> stations_;
};

// The description line split into location, status and time: "Oslo [ON 12:34]".
void splitDescription(const QString &line, DirectoryStation &station);
// Strict dotted-quad IPv4 ("1.2.3.4"); null address otherwise.
QHostAddress parseIpv4(QByteArrayView text);

} // namespace directory
} // namespace tavrin
