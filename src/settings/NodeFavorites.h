#pragma once
// The favourites window "Form25": ten node callsigns (Text1 ... Text10, typed letters become
// capitals), each with a "Con/Disc" button that links to that node or drops the link, and a
// button that drops every link. The callsigns live in "NodeFavorites.ini"; "Save your Data"
// writes it, "Hide" only hides. Closing with the title-bar button hides the window and
// re-reads the file, dropping unsaved edits.
// The program has the controls built on first use: when the window is first shown or a
// control of it is looked up (ensureBuilt()). Until then the callsigns and the status line's
// text live in members, read, saved and used by the same calls as ever.
//
// Failures: a failing Connect is ignored (the press has no effect); a failing IsConnected,
// Disconnect or DisconnectAll, and a client that could not be reached at load, show in the
// window's StatusLine and the window stays usable.
//
// Thread: user-interface thread. Owns its EchoLink client handle; does not own the store.

#include "echolink/EchoLinkClient.h"
#include "settings/ProfileStore.h"
#include "ui/ControlsBuilt.h"
#include "ui/KeptStatus.h"

#include <QList>
#include <QStringList>
#include <QWidget>

#include <memory>

class QLabel;
class QLineEdit;

namespace tavrin {

class NodeFavorites : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRows = 10;

    using Fields = ControlsBuilt;
    // The title shows the product name and the version text next to the local callsign.
    NodeFavorites(ProfileStore &store, QString productName, QString versionText, Fields fields = Fields::Now,
                  QWidget *parent = nullptr);
    ~NodeFavorites() override;

    // Builds the controls if they are not there yet.
    Q_INVOKABLE void ensureBuilt();
    void setVisible(bool visible) override;

    static QString fileName(); // "NodeFavorites.ini"
    static QString defaultCallsign(int k);
    static QStringList readKeys();  // "Text1" ... "Text10"
    static QStringList writeKeys(); // "TEXT1" ... "TEXT10"

    // The load sequence: take the window's client handle (nullptr: no client is running),
    // set the title from the local callsign, read the file.
    void Form_Load(std::unique_ptr<EchoLinkClient> client);

    // Row k's callsign as it stands (k = 1 ... 10).
    QString callsign(int k) const;

    SaveResult SaveData();
    void reload();

    EchoLinkClient *client() const { return client_.get(); }

public slots:
    // The client is closing: ask for the end of the program.
    void EchoLink_Closing();

signals:
    void endProgramRequested();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void linkOrUnlink(int k);
    void disconnectAll();
    EchoLinkClient &requireClient() const;
    void showStatus(const QString &text, bool failure = true);
    void clearStatus(); // the text only; the colour stays

    ProfileStore &store_;
    QString productName_;
    QString versionText_;
    std::unique_ptr<EchoLinkClient> client_;
    QStringList callsigns_;            // rows 1 ... 10; the fields mirror them once built
    QList<QLineEdit *> callsignEdits_; // Text1 ... Text10
    QLabel *statusLine_ = nullptr;
    KeptStatus status_; // what the status line says, or will say once built
};

} // namespace tavrin
