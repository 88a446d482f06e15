#pragma once
// The controls of the chat window, built once and named as the rest of the program finds
// them (RTB, TextTX, Command3, FilterText1, Image1, ...). Layout only: no behaviour.
//
// Thread: user-interface thread. The controls are children of the window they are built in.

#include <QLabel>
#include <QString>

#include <array>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QPlainTextEdit;
class QTextEdit;
class QToolButton;
class QWidget;

namespace tavrin::messaging {

namespace chatui {
inline constexpr char kSendBoxTip[] = "Entre your text here";
inline constexpr char kShowPrivate[] = "Show Private Message";
inline constexpr char kHidePrivate[] = "Hide Private Message";
inline constexpr char kShowExtra[] = "Show Extra";
inline constexpr char kHideExtra[] = "Hide Extra";
inline constexpr char kTextSizeLarge[] = "Text Size Large";
inline constexpr char kTextSizeSmall[] = " Text Size Small ";
inline constexpr char kFilterTip[] = "Incoming Text Word Filter";
inline constexpr char kAdminFilterTip[] = "Disconnectes Node with Incoming Text Word (Admin Mode)";
inline constexpr char kExtraCallTip[] = "If you are using a link you can put your own callsign in here";

// Sizes in twips.
inline constexpr int kWindowWidth = 6990;
inline constexpr int kWindowHeight = 8400;
inline constexpr int kExtendedWidth = 8820;
inline constexpr int kExtendedHeight = 9700;
inline constexpr int kChatBoxTall = 5775;
inline constexpr int kChatBoxWithPanel = 2295;
inline constexpr int kChatBoxWithMessage = 2655;

inline constexpr int kSmallPoints = 10;
inline constexpr int kLargePoints = 14;
} // namespace chatui

// The window's status line: one line across the window. A report too long for it is cut
// short with an ellipsis (again whenever the line changes width) and can be read whole in
// its tip.
class StatusLine : public QLabel {
public:
    using QLabel::QLabel;
    void setReport(const QString &report);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void fit();
    QString report_;
};

// 1/1440 inch to pixels at `dpi`.
int twipsToPx(int twips, int dpi);

struct ChatControls {
    QPlainTextEdit *chatBox = nullptr; // RTB
    QLineEdit *sendBox = nullptr;      // TextTX
    QPushButton *send = nullptr;       // Send
    QCheckBox *stampOutgoing = nullptr; // Check1
    QCheckBox *stampIncoming = nullptr; // Check2
    QPushButton *clearChat = nullptr;  // ClearRX
    QPushButton *save = nullptr;       // SaveIt
    QPushButton *hide = nullptr;       // Exit

    QWidget *privatePanel = nullptr;
    QTextEdit *privateLog = nullptr;      // Text3
    QLineEdit *destination = nullptr;     // Text1
    QLineEdit *privateText = nullptr;     // Text2
    QPushButton *privateSend = nullptr;   // Command2
    QPushButton *privateClear = nullptr;  // Command4
    QCheckBox *redBox = nullptr;          // Check4
    QPushButton *privateToggle = nullptr; // Command3

    QRadioButton *useChat = nullptr;    // Option1
    QRadioButton *stopChat = nullptr;   // Option2
    QCheckBox *showOnLine = nullptr;    // Check5
    QPushButton *textSize = nullptr;    // Command23
    QCheckBox *smallText = nullptr;     // Check66, never visible
    QPushButton *sysopBox = nullptr;    // Command5
    QPushButton *extraToggle = nullptr; // Command39

    QWidget *filterPanel = nullptr;
    std::array<QLineEdit *, 12> filters{}; // FilterText1 ... FilterText12
    QCheckBox *caseSensitive = nullptr;     // Check3
    QLineEdit *extraCall = nullptr;         // ExtraCall

    std::array<QToolButton *, 35> pictures{}; // Image1 ... Image35
    StatusLine *status = nullptr;             // StatusLine
};

ChatControls buildChatControls(QWidget *window);

} // namespace tavrin::messaging
