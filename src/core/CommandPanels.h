#pragma once
// The command controls of the main window: the transmit box (Command1x, Label3, PTT1,
// Text15 and the level-meter frame Frame13), the user button panel (Frame4), the chooser
// (Frame10), the transmit-request notice (Frame11) and the strip of pictures with the sound
// device labels.
//
// Builds the widgets only; the main window wires their behaviour.

#include <QString>

#include <array>

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;
class QWidget;

namespace tavrin {

class ClickableLabel;

class CommandPanels {
public:
    static constexpr int kUserButtons = 12;

    explicit CommandPanels(QWidget *parent);

    // Transmit box.
    QGroupBox *transmitBox = nullptr;
    QPushButton *transmitButton = nullptr; // Command1x
    QLabel *transmitState = nullptr;       // Label3
    QLineEdit *receiveIndicator = nullptr; // PTT1
    QLineEdit *requestWait = nullptr;      // Text15
    QFrame *meterFrame = nullptr;          // Frame13, holds the level meter
    QVBoxLayout *meterLayout = nullptr;

    // Frame4: Command81 ... Command92, Command19, Command18.
    QGroupBox *userButtonPanel = nullptr;
    std::array<QPushButton *, kUserButtons> userButtons{};
    QPushButton *setupButtons = nullptr;   // Command19
    QPushButton *hideUserButtons = nullptr; // Command18

    // Frame10: Command74, Command75, Command76.
    QGroupBox *chooserPanel = nullptr;
    QPushButton *chooseFrequencies = nullptr; // Command74
    QPushButton *chooseCommands = nullptr;    // Command75
    QPushButton *hideChooser = nullptr;       // Command76

    // Frame11.
    QFrame *requestNotice = nullptr;

    // Pictures and sound-device labels.
    QWidget *toolStrip = nullptr;
    ClickableLabel *keypadPicture = nullptr;    // Picture2
    ClickableLabel *stepsPicture = nullptr;     // Picture5
    ClickableLabel *chooserPicture = nullptr;   // Picture6
    ClickableLabel *remotePadPicture = nullptr; // Picture8
    ClickableLabel *playbackPicture = nullptr;  // Picture1
    ClickableLabel *recordingPicture = nullptr; // Picture4
    QLabel *volumeLabel = nullptr;              // Label5
    QLabel *micLabel = nullptr;                 // Label6

private:
    void buildTransmit(QWidget *parent);
    void buildUserButtons(QWidget *parent);
    void buildChooser(QWidget *parent);
    void buildNotice(QWidget *parent);
    void buildToolStrip(QWidget *parent);
};

// Texts of the transmit box at rest.
inline constexpr char kReceiveModeText[] = "Receive Mode";
inline constexpr char kReceiveOffText[] = "IP  TX  OFF";

} // namespace tavrin
