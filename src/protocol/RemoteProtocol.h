#pragma once
// The lines the main window exchanges with the distant node, as plain functions: what it
// recognises in an incoming chat line (version query, frequency report, message for the
// local sysop) and the lines it answers or sends with (version answer, acknowledgement,
// transmit request, the sysop log entry). No widgets, no client.

#include <QString>
#include <QStringList>

#include <optional>

namespace tavrin::remote {

// Receive indicator texts (PTT1 on the main window and the Remote Pad).
inline constexpr char kReceivingText[] = "IP  TX  ON";
inline constexpr char kNotReceivingText[] = "IP  TX  OFF";
inline constexpr char kTransmittingText[] = "Transmitting";

// "/ver/" at the second position of the line or later; a line that starts with it is
// nobody's query.
bool isVersionQuery(const QString &line);
// Product name, two blanks, "v" and the version: "Tavrin  v1.2.2".
QString versionAnswer();
// The same answer for another program of ours ("tavrin-node  v1.2.2").
QString versionAnswerFor(const QString &program);

// ">FN" at the second position or later, letter case ignored.
bool isFrequencyReport(const QString &line);
// The reported frequency, formatted: the number right after the first report tag (blanks
// before it skipped). nullopt when the line is no report or no number follows the tag, so
// the display keeps what it showed.
std::optional<QString> frequencyReport(const QString &line);

// The frequency a node line says it did not tune to ("XX9XYZ-L>Refused FN14.4000: outside
// ..."), formatted; nullopt for any other line. The rig server drops its command by it.
std::optional<QString> refusedFrequency(const QString &line);

// The mode word that follows the frequency in a report line ("XX9XYZ-L>FN14.2300 USB"),
// upper-cased, when it is a mode name; empty otherwise.
QString reportedModeWord(const QString &reportLine);
// One of Hamlib's mode names ("USB", "PKTUSB", ...): the modes a report may carry and the
// rig server passes on.
bool isModeName(QStringView word);

// Queries the panels send to the distant node.
inline constexpr char kFrequencyQuery[] = "FR?";
inline constexpr char kTimeQuery[] = "Time?";

// The local callsign without any "-R", then without any "-L".
QString baseCallsign(const QString &localCallsign);

// The markers that make a line a message for the local sysop. Built once per callsign (and
// extra call), upper-cased, and searched in the upper-cased line, so letter case never
// matters. An empty callsign or extra call adds no marker: "****" would take any row of
// asterisks for a message.
class SysopMarkers {
public:
    SysopMarkers() = default;
    SysopMarkers(const QString &localCallsign, const QString &extraCall);

    bool foundIn(const QString &upperCasedLine) const;
    const QStringList &markers() const { return markers_; }

private:
    QStringList markers_;
};

// " Message has been received and left for the " + callsign + "'s Sysop".
QString sysopAcknowledgement(const QString &localCallsign);
// Date text + " at " + time text + " " + line + two line ends.
QString sysopLogEntry(const QString &dateText, const QString &timeText, const QString &line);
// Time text + " CPT?".
QString transmitRequestLine(const QString &timeText);

} // namespace tavrin::remote
