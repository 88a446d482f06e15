#pragma once
// tavrin-node's configuration: one INI file, read and checked as a whole so that
// --check-config can name every mistake at once. The EchoLink password never lives in it:
// it comes from a file that only its owner can read (TAVRIN_NODE_PASSWORD_FILE, or
// password_file in the INI), so the INI may be world-readable.
//
// Thread: any (plain values).

#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace tavrin::node {

// Frequency ranges the node may set and transmit on, in hertz, both ends included.
class FrequencyRanges {
public:
    FrequencyRanges() = default;
    explicit FrequencyRanges(std::vector<std::pair<qint64, qint64>> ranges) : ranges_(std::move(ranges)) {}

    // The HF amateur bands of IARU Region 1 (160 m to 10 m).
    static FrequencyRanges iaruRegion1Hf();
    // "1.810-2.000, 3.500-3.800" (MHz); nullopt with *error set when the text is unusable.
    static std::optional<FrequencyRanges> parse(const QString &text, QString *error);

    bool contains(qint64 hz) const;
    QString toText() const;

private:
    std::vector<std::pair<qint64, qint64>> ranges_;
};

struct NodeConfig {
    // [station]
    QString callsign; // "XX9ABC-L" or "XX9ABC-R"
    QString name;
    QString location;
    QString passwordFile;
    // [directory]
    QStringList directoryServers{QStringLiteral("servers.echolink.org")};
    int portBase = 5198;
    QString bindAddress;
    // [rig]
    int rigModel = 0;
    QString rigPort; // serial device, or host:port for rigctld (model 2)
    int serialSpeed = 0; // 0: the rig's default
    int rigTimeoutMs = 3000;
    int pollIntervalMs = 5000;
    // [audio]
    QString audioOutput; // the rig's audio input; empty: the default device; "none": no voice
    QString audioInput = QStringLiteral("none"); // the rig's received audio; "none": none sent
    // [squelch]: on the rig's received audio
    int squelchThresholdDb = -45;
    int squelchHangMs = 800;
    // [limits]
    FrequencyRanges ranges = FrequencyRanges::iaruRegion1Hf();
    int transmitTimeoutMs = 180000;
    // [access]
    QStringList allow; // upper case
    bool listeners = true;
};

struct ConfigResult {
    NodeConfig config;
    QStringList errors; // each names the section and key and what is wrong
    bool ok() const { return errors.isEmpty(); }
};

ConfigResult loadConfig(const QString &path);

// The password from `path`: refused (nullopt, *error says why) when the file is missing,
// empty, not a regular file or readable or writable by anyone but its owner.
std::optional<QString> readPasswordFile(const QString &path, QString *error);
// Where the password comes from: TAVRIN_NODE_PASSWORD_FILE wins over password_file.
QString passwordFilePath(const NodeConfig &config);

inline constexpr char kPasswordFileVariable[] = "TAVRIN_NODE_PASSWORD_FILE";

} // namespace tavrin::node
