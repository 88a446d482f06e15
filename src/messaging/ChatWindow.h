#pragma once
// The chat window "Messages": the link's text chat with coloured sender tags and emoticon
// pictures, the send line, the filters, the version answer, and the private-message panel
// with its receipts. Incoming lines and the lines it sends leave through signals, which the
// composition root connects to the main window's chat boxes and the Remote Pad's log.
//
// The program has the controls built on first use: when the window is first shown (a message
// for us or "Show Chat Box When Message Received" shows it) or a control of it is looked up
// (ensureBuilt()). Until then everything works as with the window hidden: the chat box's
// document, the settings, the extra call and the status text are kept without controls, and
// show as they stand once built.
//
// Thread: user-interface thread. Owns its client handle; shows other windows through the
// registry, by name. Never re-enters the event loop.

#include "common/Clock.h"
#include "ui/WindowRegistry.h"
#include "echolink/EchoLinkClient.h"
#include "messaging/ChatPanels.h"
#include "messaging/ChatSettings.h"
#include "protocol/PrivateMessages.h"
#include "settings/ProfileStore.h"
#include "ui/ControlsBuilt.h"

#include <QWidget>

#include <memory>

namespace tavrin::messaging {

class ChatBox;

class ChatWindow : public QWidget {
    Q_OBJECT
public:
    using Fields = ControlsBuilt;
    ChatWindow(ProfileStore &store, WindowRegistry &registry, const Clock &clock, Fields fields = Fields::Now);
    ~ChatWindow() override;

    // Builds the controls if they are not there yet.
    Q_INVOKABLE void ensureBuilt();
    void setVisible(bool visible) override;

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

    // The extra call as it stands now (ExtraCall).
    QString extraCall() const;

public slots:
    // A line sent from another window (the Remote Pad), shown in the chat box.
    void appendToChatBox(const QString &line);

signals:
    // The client is closing: the program ends at once, without saving here.
    void endProgramRequested();
    // An incoming line that passed the filters: sender tag, the text as shown here (with its
    // time stamp, if any) and the bare message.
    void incomingLine(const QString &tag, const QString &shown, const QString &message);
    // A chat line this window sent, as the Remote Pad's log shows it (with its line end).
    void ownLineSent(const QString &line);
    // The extra call changed (typed, loaded, or defaulted to the local callsign).
    void extraCallChanged(const QString &call);

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    EchoLinkClient &requireClient();
    void wire();
    void readSettings();
    void applySettings(const ChatSettings &s);
    ChatSettings currentSettings() const;
    bool built() const { return c_.chatBox != nullptr; }
    bool showOnLine() const;
    void setExtraCallText(const QString &call);
    void resetPanels();
    void applyTextSize(bool small);
    void toggleTextSize();
    void togglePrivatePanel();
    void toggleFilterPanel();
    void setPrivatePanel(bool open, int chatBoxTwips);
    // The chat box's height: its set height for the panels, and whatever the window has
    // beyond its own size.
    void fitChatBox();
    void resizeTwips(int width, int height);
    void insertPicture(int button);
    void showStatus(const QString &text);
    void chatCaretToEnd();

    // The incoming line's steps.
    void privatePart(const QString &line);

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
    bool saveFailureShown_ = false; // the status line reports a failed save
    int chatBoxTwips_ = chatui::kChatBoxTall;
    // What the controls show, or will show once built.
    ChatSettings kept_;
    QString statusText_;
};

} // namespace tavrin::messaging
