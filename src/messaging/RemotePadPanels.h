#pragma once
// The controls of the Remote Pad "Form3", each under its objectName, laid out compactly:
// frequency display on top, keypad and steps beside the transmit box, then the station
// list, the chat log with its send line, and the buttons that hide the pad.
//
// Builds the widgets only; RemotePad wires their behaviour. The level meter and the chat log
// are made apart: they work from the pad's load on (the meter records, the log takes every
// line), before the other controls exist.

#include <QColor>
#include <QString>

#include <array>

class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTextEdit;
class QWidget;

namespace tavrin {
class GradH;
}

namespace tavrin::messaging {

namespace padtexts {
inline constexpr char kCaption[] = "Remote Pad";
inline constexpr char kReceivingText[] = "IP  TX  ON";
inline constexpr char kNotReceivingText[] = "IP  TX  OFF";
inline constexpr char kReceiveModeText[] = "Receive Mode";
inline constexpr char kTransmittingText[] = "Transmitting";
inline constexpr char kNoFrequency[] = "000.0000 MHz";
} // namespace padtexts

// One step button: its number, caption and step in ten-thousandths of a MHz.
struct PadStep {
    int command;
    const char *caption;
    long long tenThousandths;
};
inline constexpr std::array<PadStep, 8> kPadSteps{{
    {48, "-5kHz", -50},
    {49, "-0.1kHz", -1},
    {50, "-1kHz", -10},
    {51, "-10kHz", -100},
    {52, "+5kHz", 50},
    {53, "+0.1kHz", 1},
    {54, "+1kHz", 10},
    {55, "+10kHz", 100},
}};

struct RemotePadControls {
    QLineEdit *entry = nullptr;                // Text3
    std::array<QPushButton *, 10> digits{};    // by digit: Command36, Command34, Command44 ... Command37
    QPushButton *point = nullptr;              // Command46
    QPushButton *clear = nullptr;              // Command45
    QPushButton *enter = nullptr;              // Command35
    std::array<QPushButton *, 8> steps{};      // Command48 ... Command55, as kPadSteps
    QLabel *stepsLabel = nullptr;              // Label11
    QPushButton *transmit = nullptr;           // Command1x
    QLineEdit *frequency = nullptr;            // Text1
    QFrame *requestNotice = nullptr;           // Frame11
    QLabel *receiveIndicator = nullptr;        // PTT1
    QLabel *transmitState = nullptr;           // Label3
    QTextEdit *stationList = nullptr;          // StationList
    QPlainTextEdit *chatLog = nullptr;         // RTB
    QLineEdit *sendLine = nullptr;             // TextTX
    QPushButton *send = nullptr;               // Send
    QFrame *meterFrame = nullptr;              // Frame13
    GradH *meter = nullptr;                    // GradH1
    QPushButton *hide = nullptr;               // Command1
    QPushButton *showMain = nullptr;           // Command2
    QLabel *status = nullptr;                  // StatusLine
};

// The meter GradH1 and the chat log RTB, set up as the pad shows them, hidden children of
// `window` until the other controls are built.
GradH *buildPadMeter(QWidget *window);
QPlainTextEdit *buildPadLog(QWidget *window);
// Every other control, with `meter` and `log` from above taking their places among them.
RemotePadControls buildRemotePadControls(QWidget *window, GradH *meter, QPlainTextEdit *log);

} // namespace tavrin::messaging
