#pragma once
// One update: fetch the signed release manifest (the program's address with ".manifest"
// appended), check its signature against the release key and that it names a later version
// than the running one; then download the program into a temporary file beside the installed
// one, hashing it (SHA-512) as it streams to disk and refusing it as soon as it outgrows the
// manifest's size; install it (ProgramInstaller) only when size and digest match, and report
// success only when the file at the target is then the new program. Memory stays small
// whatever the size: at most the network read buffer and one copy buffer are held.
//
// The expected size is the manifest's. A transfer that brings no data for the stall time-out
// fails; so does a manifest not complete within that time once its headers came. Progress is
// reported per 512-byte block, so the amounts shown do not depend on how the network splits
// the data.
//
// Thread: user-interface thread; everything is asynchronous. Owns the replies and the
// temporary file and the update's lock; uses (does not own) the network access manager.

#include "updater/ProgramInstaller.h"
#include "updater/ReleaseManifest.h"
#include "updater/Sha512.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QFileInfo;
class QLockFile;
class QTemporaryFile;

namespace tavrin::updater {

class UpdateDownload : public QObject {
    Q_OBJECT
public:
    static constexpr int kBlockSize = 512;
    static constexpr int kDefaultStallTimeoutMs = 30000;

    UpdateDownload(QByteArray releaseKeyBase64, QNetworkAccessManager *network, QObject *parent = nullptr);
    ~UpdateDownload() override;

    // Starts an update of `target` from `url`. finished() follows exactly once, never from
    // inside this call.
    void start(const QString &url, const QString &target);
    // Stops a running update and removes its temporary file; finished(false, "cancelled")
    // is emitted before this returns. Nothing happens when no update runs.
    void cancel();

    bool inProgress() const { return phase_ != Phase::Idle; }
    qint64 bytesReceived() const { return received_; }
    qint64 expectedSize() const { return expected_; } // the manifest's size; 0 before it came
    QString temporaryPath() const;                   // empty when no update runs

    void setStallTimeout(int ms) { stallTimer_.setInterval(ms); }
    void setInstaller(ProgramInstaller installer) { installer_ = std::move(installer); }
    // Only a release later than this one is installed.
    void setRunningVersion(const QString &version) { runningVersion_ = version; }

    // True when the address has a scheme the updater accepts (any letter case).
    static bool acceptedScheme(const QString &url);
    // The lock one update of `target` holds, so a second updater cannot clear the first one's
    // download as a leftover; in the temporary folder, the program directory stays as it is.
    static QString lockPathFor(const QString &target);

signals:
    // `expected` is the announced size (0 when none); `done` is each multiple of 512 bytes as
    // it arrives, and the total when the last block is shorter.
    void blockReceived(qint64 expected, qint64 done);
    // `reason` is empty on success, otherwise a short text for the user.
    void finished(bool ok, const QString &reason);

private:
    enum class Phase { Idle, Manifest, Program, Installing };

    QNetworkReply *get(const QString &url);
    static void removeLeftovers(const QFileInfo &target);
    void readProgram();
    void programFinished();
    void readManifest();
    void manifestFinished();
    static QByteArray fileDigest(const QString &path);
    void stalled();
    void fail(const QString &reason);
    void failWriting(); // the temporary file could not take the download
    void finishLater(bool ok, const QString &reason);
    void dropReply();
    QString transferError(QNetworkReply *reply) const;

    QByteArray releaseKey_;
    QNetworkAccessManager *network_;
    ProgramInstaller installer_;
    QTimer stallTimer_;

    Phase phase_ = Phase::Idle;
    QString url_;
    QString target_;
    QPointer<QNetworkReply> reply_;
    std::unique_ptr<QLockFile> lock_; // held from start to finish
    std::unique_ptr<QTemporaryFile> file_;
    QString downloaded_; // the complete download, closed, until it is installed or removed
    Sha512 hash_;
    QString runningVersion_;
    QByteArray manifestText_;
    ReleaseManifest manifest_;
    QByteArray copyBuffer_;
    qint64 received_ = 0;
    qint64 expected_ = 0;
    bool statusChecked_ = false;
    quint64 run_ = 0; // tells a queued refusal of an earlier run from the current one
};

} // namespace tavrin::updater
