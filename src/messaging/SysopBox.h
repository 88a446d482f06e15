#pragma once
// The sysop message box "Form126": the log of messages left for the local sysop (written by
// the main window's chat handler) and the form that sends a message to another node's
// sysop. Keeps its "show the chat window" choice and its position in
// "kelmmessageforsysop.ini".
// The program has the controls built on first use: when the box is first shown (a message
// for the sysop shows it) or a control of it is looked up (ensureBuilt()). Until then the
// choice, the chosen node call and the status text live in members.
//
// Thread: user-interface thread. Owns its client handle; shows the chat window through the
// registry, by name.

#include "common/Clock.h"
#include "ui/WindowRegistry.h"
#include "echolink/EchoLinkClient.h"
#include "settings/ProfileStore.h"
#include "ui/ControlsBuilt.h"

#include <QWidget>

#include <memory>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tavrin::messaging {

class SysopBox : public QWidget {
    Q_OBJECT
public:
    using Fields = ControlsBuilt;
    SysopBox(ProfileStore &store, WindowRegistry &registry, const Clock &clock, Fields fields = Fields::Now);
    ~SysopBox() override;

    // Builds the controls if they are not there yet.
    Q_INVOKABLE void ensureBuilt();
    void setVisible(bool visible) override;

    // Client handle (null when no client runs), then Check1, LEFT and TOP from the file.
    void Form_Load(std::unique_ptr<EchoLinkClient> client);
    // Command3 or Enter in Text3.
    void Send();
    SaveResult SaveData();

public slots:
    // A message for the local sysop (its log entry, with line ends): logged, box shown and raised.
    void appendMessage(const QString &entry);
    // The node a node button of the main window chose becomes the node call (Text2).
    void setNodeCall(const QString &call);
    // Command5: shows the chat window when it exists.
    void showChatWindow();
    // Command1: saves (a failure shows in StatusLine) and hides.
    void hideBox();

protected:
    // The title-bar button hides the box and saves, like Command1.
    void closeEvent(QCloseEvent *event) override;
    // Escape hides the box like Command1; what is typed stays in its fields for the next time.
    void keyPressEvent(QKeyEvent *event) override;

private:
    // SaveData with a failure shown in StatusLine; true when saved.
    bool saveAndReport();
    void setStatus(const QString &text);

    ProfileStore &store_;
    WindowRegistry &registry_;
    const Clock &clock_;
    std::unique_ptr<EchoLinkClient> client_;
    QPlainTextEdit *log_ = nullptr;
    QLineEdit *nodeCall_ = nullptr;
    QLineEdit *message_ = nullptr;
    QLineEdit *wireText_ = nullptr;
    QPushButton *sendButton_ = nullptr;
    QCheckBox *showChat_ = nullptr;
    QLabel *status_ = nullptr;
    // What the controls show, or will show once built.
    bool showChatChecked_ = false;
    QString nodeCallText_;
    QString statusText_;
};

// Placement: px = round(twips * logical DPI / 1440); stored positions are whole twips.
int twipsToPixels(double twips, int logicalDpi);
long pixelsToTwips(int pixels, int logicalDpi);
// A stored LEFT/TOP value, or nothing when it is not a finite number.
std::optional<double> readTwips(const QString &text);
// A stored Check1 value: "1" or "0", else nothing.
std::optional<bool> readCheck(const QString &text);

} // namespace tavrin::messaging
