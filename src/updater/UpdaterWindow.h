#pragma once
// The updater's window `Updater`: the update button, the status and amount labels, the speed
// and time-left labels, "Exit", and the completion step (`DoneIt`, then after 7 s the restart
// of the new program or a message box).
//
// An update that fails, is refused or is cancelled says so in `Label2` ("Update failed: " and
// the reason); the installed program stays and neither `DoneIt` nor the restart follows. So
// does an unusable program directory, before anything is fetched.
//
// Thread: user-interface thread. Owns the download, its network access manager and the
// `DoneIt` window; uses the dialogs of its options.

#include "updater/UpdaterSetup.h"

#include <QElapsedTimer>
#include <QWidget>

#include <memory>

class QLabel;
class QLineEdit;
class QNetworkAccessManager;
class QPushButton;
class QTimer;

namespace tavrin::updater {

class DoneItWindow;

class UpdaterWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kCompletionDelayMs = 7000;
    static constexpr int kSpeedTickMs = 1000;
    static constexpr int kCloseCheckMs = 500;
    static constexpr int kAmountRepaintMs = 50;

    explicit UpdaterWindow(UpdaterOptions options, QWidget *parent = nullptr);
    ~UpdaterWindow() override;

    // Program directory + the main program's file name.
    QString targetPath() const;
    UpdateDownload &download() { return *download_; }
    DoneItWindow *doneIt() const { return doneIt_.get(); }

    // Shows the amount received; nothing when `lDone` is 0.
    void ProgressBar(qint64 lSize, qint64 lDone);

    // "12.3 Kb " for 12345 bytes.
    static QString amountText(qint64 bytes);
    // "Average : 4.0 / Kbps" for 4096 bytes in one tick.
    static QString speedText(qint64 bytesPerTick);
    // "Time Left : 1:05"; the bare caption when the size is unknown.
    static QString timeLeftText(qint64 expected, qint64 received, qint64 bytesPerSecond);

public slots:
    void Command3_Click(); // update
    void Command2_Click(); // exit
    void Timer1_Timer();   // completion
    void tmrSpeedTest_Timer();

signals:
    // Every amount text as it is computed, one per 512-byte block, repainted or not.
    void amountShown(const QString &text);
    // The updater should end now.
    void ended();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void downloadFinished(bool ok, const QString &reason);
    void setStatus(const QString &text);
    void showAmountNow();
    void endUpdater();
    bool startProgram(const QString &program);
    bool programRunning() const;

    UpdaterOptions options_;
    std::unique_ptr<QNetworkAccessManager> network_;
    UpdateDownload *download_ = nullptr; // child
    std::unique_ptr<DoneItWindow> doneIt_;

    QLineEdit *progDir_ = nullptr;
    QLineEdit *updateProgram_ = nullptr;
    QPushButton *updateButton_ = nullptr;
    QPushButton *exitButton_ = nullptr;
    QLabel *status_ = nullptr;
    QLabel *amount_ = nullptr;
    QLabel *speed_ = nullptr;
    QLabel *timeLeft_ = nullptr;
    QTimer *completionTimer_ = nullptr;
    QTimer *speedTimer_ = nullptr;

    QString speedTag_; // the timer's tag: the expected size, or "CLOSEAPP" while closing
    qint64 bytesShown_ = 0;
    qint64 bytesAtLastTick_ = 0;
    QElapsedTimer sinceRepaint_;
};

} // namespace tavrin::updater
