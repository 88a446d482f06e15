#pragma once
// The station controls of the main window: the "Selected Nodes" choice with the four node
// buttons and their link toggles, "Disconnect All", the linked-station fields, the local
// station's identity and clock, and the chat boxes with the station list.
//
// Builds the widgets only; the main window wires their behaviour.

#include <QPlainTextEdit>
#include <QString>

#include <array>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTextEdit;
class QWidget;

namespace tavrin {

class StationPanel {
public:
    static constexpr int kSets = 4;

    explicit StationPanel(QWidget *parent);

    // "Selected Nodes": Option1x ... Option4x, node buttons, link toggles.
    QGroupBox *nodeBox = nullptr;
    QButtonGroup *setGroup = nullptr;
    std::array<QRadioButton *, kSets> setOptions{};
    std::array<QPushButton *, kSets> nodeButtons{}; // Command29 ... Command32
    std::array<QPushButton *, kSets> linkToggles{}; // Command20, Command33, Command68, Command71
    QPushButton *disconnectAll = nullptr;           // Command72

    QLineEdit *lastStation = nullptr;    // Text2
    QLabel *nodeSelected = nullptr;      // NodeSelected
    QLabel *stationCount = nullptr;      // NumStations
    QLabel *listedBusy = nullptr;        // Label10

    // Identity and clock.
    QGroupBox *identityBox = nullptr;
    QLabel *callsign = nullptr; // Callsign
    QLabel *program = nullptr;  // Prog
    QLabel *version = nullptr;  // Ver
    QLabel *clockTime = nullptr; // Label2
    QLabel *clockDate = nullptr; // Label1x

    // Chat and station list.
    QGroupBox *chatBox = nullptr;
    QTextEdit *lastLine = nullptr;    // RTB
    QPlainTextEdit *chatLog = nullptr; // RTB2
    QPushButton *clearChat = nullptr; // Command17
    QTextEdit *stationList = nullptr; // Text35

private:
    void buildNodes(QWidget *parent);
    void buildIdentity(QWidget *parent);
    void buildChat(QWidget *parent);
};

inline constexpr char kNoNodeSelectedText[] = "No Node Data Selected";

} // namespace tavrin
