#pragma once
// The chat window "Messages": the link's text chat with coloured sender tags and emoticon
// pictures, the send line, the filters, the version answer, and the private-message panel
// with its receipts. Incoming lines are also copied into the main window's chat log and
// last-line box and into the Remote Pad's chat log, when those windows exist.
//
// Thread: user-interface thread. Owns its client handle; reaches other windows only
// through the registry. Never re-enters the event loop.

#include "common/Clock.h"
#include "ui/WindowRegistry.h"
#include "echolink/EchoLinkClient.h"
#include "messaging/ChatPanels.h"
#include "protocol/PrivateMessages.h"
#include "settings/ProfileStore.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QTimer;

namespace tavrin::messaging {

class ChatBox;
struct ChatSettings;

class ChatWindow : public QWidget {
    Q_OBJECT
public:
    ChatWindow(ProfileStore &store, WindowRegistry &registry, const Clock &clock);
    ~ChatWindow() override;

    // Load steps: client handle (null when no client runs), caption, markers, settings,
    // text size, sizes. The window stays hidden.
    void Form_Load(std::unique_ptr<EchoLinkClient> client);

    void EchoLink_ChatTextReceived(const QString &line);
    void EchoLink_Closing();
    void TXText();
    void TXText2();
    void AddChatLine(const QString &senderTag, const QString &text);
    SaveResult SaveData();

    // Send or Enter in TextTX; Command2 or Enter in Text2.
    void Send_Click();
    void SendPrivate(remote::SendForm sysopForm);

    QString localCallsign() const { return localCallsign_; }
    QString ownSenderTag() const { return ownSenderTag_; }
    QString privateMarker() const { return privateMarker_; }
    QString extraReplyMarker() const { return extraReplyMarker_; }
    // True when the last TXText reached the client.
    bool lastSendSucceeded() const { return lastSendOk_; }

signals:
    // The client is closing: the program ends at once, without saving here.
    void endProgramRequested();

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    EchoLinkClient &requireClient();
    void wire();
    void readSettings();
    void applySettings(const ChatSettings &s);
    ChatSettings currentSettings() const;
    void applyTextSize(bool small);
    void toggleTextSize();
    void togglePrivatePanel();
    void toggleFilterPanel();
    void setPrivatePanel(bool open, int chatBoxTwips);
    void resizeTwips(int width, int height);
    void insertPicture(int button);
    void showStatus(const QString &text);
    void chatCaretToEnd();

    // The incoming line's steps.
    void privatePart(const QString &line);
    void copyToOtherWindows(const QString &tag, const QString &shown, const QString &message);

    // A control of another window, found once and forgotten when that window goes.
    template <class T>
    T *remote(QPointer<T> &cache, const char *window, const char *control);

    ProfileStore &store_;
    WindowRegistry &registry_;
    const Clock &clock_;
    std::unique_ptr<EchoLinkClient> client_;
    ChatControls c_;
    std::unique_ptr<ChatBox> chatBox_;

    QString localCallsign_;
    QString ownSenderTag_;
    QString privateMarker_;
    QString extraReplyMarker_;
    QString stampedOutgoing_;
    bool lastSendOk_ = false;

    QPointer<QWidget> mainLog_;  // Form2 RTB2
    QPointer<QWidget> lastLine_; // Form2 RTB
    QPointer<QTimer> lastLineTimer_; // Form2 Timer1
    QPointer<QWidget> padLog_;   // Form3 RTB
};

} // namespace tavrin::messaging
