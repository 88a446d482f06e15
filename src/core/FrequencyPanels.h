#pragma once
// The frequency controls of the main window: the large display, the band choice and band
// buttons, and the panels that set a frequency: presets (Frame3), keypad (Frame9), steps
// with the second keypad (Frame2) and the user frequencies (Frame8).
//
// Builds the widgets only; the main window wires their behaviour. All widgets are children
// of the parent given, so they are found by objectName inside the main window.

#include <QString>

#include <array>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace tavrin {

class ClickableLabel;

class FrequencyPanels {
public:
    static constexpr int kBands = 6;
    static constexpr int kPresets = 10;
    static constexpr int kUserFrequencies = 6;
    static constexpr int kSteps = 8;

    explicit FrequencyPanels(QWidget *parent);

    // Shows `text` on the large display.
    void showOnDisplay(const QString &text);

    // Large display with the frequency field under it.
    QGroupBox *displayBox = nullptr;
    QLabel *display = nullptr;          // Label4
    QLineEdit *frequency = nullptr;     // Text1
    ClickableLabel *keypadPicture2 = nullptr; // Picture7

    // "Band": Option1 ... Option6 and the band buttons Command11 ... Command16.
    QGroupBox *bandBox = nullptr;
    QButtonGroup *bandGroup = nullptr;
    std::array<QRadioButton *, kBands> bandOptions{};
    std::array<QPushButton *, kBands> bandButtons{};

    // Frame3: Command1 ... Command10.
    QGroupBox *presetPanel = nullptr;
    std::array<QPushButton *, kPresets> presetButtons{};

    // Frame9: keypad 1 with Text3. Digit keys indexed by their digit.
    QGroupBox *keypadPanel = nullptr;
    QLineEdit *keypadEntry = nullptr; // Text3
    std::array<QPushButton *, 10> keypadDigits{};
    QPushButton *keypadPoint = nullptr; // Command46
    QPushButton *keypadClear = nullptr; // Command45
    QPushButton *keypadClose = nullptr; // Command47
    QPushButton *keypadEnter = nullptr; // Command35

    // Frame2: steps, the frequency with unit and keypad 2 with Text11.
    QGroupBox *stepsPanel = nullptr;
    QLineEdit *frequencyWithUnit = nullptr; // Text12
    QLineEdit *stepsEntry = nullptr;        // Text11
    std::array<QPushButton *, 10> stepsDigits{};
    QPushButton *stepsPoint = nullptr; // Command62
    QPushButton *stepsClear = nullptr; // Command66
    QPushButton *stepsEnter = nullptr; // Command69
    QPushButton *stepsClose = nullptr; // Command70
    // Command48 ... Command55 in name order, with their step in MHz.
    std::array<QPushButton *, kSteps> stepButtons{};
    static double stepOf(int index);

    // Frame8: Text5 ... Text10, Command21 ... Command26, Command27, Command28.
    QGroupBox *userPanel = nullptr;
    std::array<QLineEdit *, kUserFrequencies> userFrequencies{};
    std::array<QPushButton *, kUserFrequencies> userSelectButtons{};
    QPushButton *userSave = nullptr; // Command27
    QPushButton *userHide = nullptr; // Command28

private:
    void buildDisplay(QWidget *parent);
    void buildBand(QWidget *parent);
    void buildPresets(QWidget *parent);
    void buildKeypad(QWidget *parent);
    void buildSteps(QWidget *parent);
    void buildUserFrequencies(QWidget *parent);
};

} // namespace tavrin
