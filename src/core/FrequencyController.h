#pragma once
// Band and frequency selection on the main window: band buttons Command11 ... Command16,
// preset buttons Command1 ... Command10, both keypads with their C, point and Enter keys,
// the step buttons Command48 ... Command55 and the user frequencies Command21 ... Command26.
// Every way ends in one chat line to the distant node and an updated Text1/Label4.
//
// A failed send is reported in the main window's status line; the fields changed before
// the send keep their new values. Enter and the steps send no frequency command that is not
// a frequency above 0 MHz, and a user frequency button none for an empty field: they change
// nothing and say why in the status line. A typed decimal comma ("14,230") counts as the
// point; the command carries a point. Return in an entry field is its keypad's Enter. Such a
// refusal or failure is cleared by the next line the client takes, unless something else
// has written the status line since.
// Thread: user-interface thread. Owned by the main window; owns nothing but its connections.

#include <QObject>
#include <QString>

class QLineEdit;

namespace tavrin {

class MainWindow;
class Program;

class FrequencyController : public QObject {
    Q_OBJECT
public:
    FrequencyController(MainWindow &window, Program &program);

    // Label4 from Text1, without blanks, units, modes and angle brackets.
    void UpdateFrequencyDisplay();

    void selectBand(int band);      // 1 ... 6
    void pressPreset(int preset);   // 1 ... 10
    void appendDigit(int digit);    // either keypad: both entry fields
    void appendPoint();             // either keypad, by the point rule
    void clearEntries();
    void enter(QLineEdit *entry);   // Text3 or Text11
    // Enter's own steps for a frequency text that did not come from an entry field (the rig
    // server): display, field, frequency command line. The entry fields stay as typed.
    // True when the client took the line.
    bool sendFrequency(const QString &typed);
    void step(long long tenThousandths);
    void selectUserFrequency(int j); // 1 ... 6

private:
    void wire();
    // Sends one line; a failure goes to the status line. True when the client took it.
    bool send(const QString &line);
    void report(const QString &text);

    MainWindow &window_;
    Program &program_;
};

} // namespace tavrin
