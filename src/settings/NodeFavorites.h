#pragma once
// The favourites window "Form25": ten node callsigns (Text1 ... Text10, typed letters become
// capitals), each with a "Con/Disc" button that links to that node or drops the link, and a
// button that drops every link. The callsigns live in "NodeFavorites.ini"; "Save your Data"
// writes it, "Hide" only hides. Closing with the title-bar button hides the window and
// re-reads the file, dropping unsaved edits.
//
// Failures: a failing Connect is ignored (the press has no effect); a failing IsConnected,
// Disconnect or DisconnectAll, and a client that could not be reached at load, show in the
// window's StatusLine and the window stays usable.
//
// Thread: user-interface thread. Owns its EchoLink client handle; does not own the store.

#include "echolink/EchoLinkClient.h"
#include "settings/ProfileStore.h"

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

    // The title shows the product name and the version text next to the local callsign.
    NodeFavorites(ProfileStore &store, QString productName, QString versionText, QWidget *parent = nullptr);
    ~NodeFavorites() override;

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

    ProfileStore &store_;
    QString productName_;
    QString versionText_;
    std::unique_ptr<EchoLinkClient> client_;
    QList<QLineEdit *> callsignEdits_; // Text1 ... Text10
    QLabel *statusLine_ = nullptr;
};

} // namespace tavrin
