#include "core/FrequencyController.h"

#include "core/FrequencyPanels.h"
#include "core/MainWindow.h"
#include "core/Program.h"
#include "protocol/FrequencyText.h"
#include "settings/PresetSet.h"
#include "station/StationState.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tavrin {

namespace {
inline constexpr char kNoPresetChoice[] = "No preset set or band is selected";
inline constexpr char kSendFailed[] = "Could not send \"%1\": %2";
inline constexpr char kEmptyUserFrequency[] = "Not sent: user frequency %1 is empty";
} // namespace

FrequencyController::FrequencyController(MainWindow &window, Program &program)
    : QObject(&window), window_(window), program_(program)
{
    wire();
}

void FrequencyController::wire()
{
    FrequencyPanels &f = window_.frequencyPanels();
    for (int b = 0; b < FrequencyPanels::kBands; ++b)
        connect(f.bandButtons.at(b), &QPushButton::clicked, this, [this, b] { selectBand(b + 1); });
    for (int n = 0; n < FrequencyPanels::kPresets; ++n)
        connect(f.presetButtons.at(n), &QPushButton::clicked, this, [this, n] { pressPreset(n + 1); });
    for (int d = 0; d <= 9; ++d) {
        connect(f.keypadDigits.at(d), &QPushButton::clicked, this, [this, d] { appendDigit(d); });
        connect(f.stepsDigits.at(d), &QPushButton::clicked, this, [this, d] { appendDigit(d); });
    }
    connect(f.keypadPoint, &QPushButton::clicked, this, &FrequencyController::appendPoint);
    connect(f.stepsPoint, &QPushButton::clicked, this, &FrequencyController::appendPoint);
    connect(f.keypadClear, &QPushButton::clicked, this, &FrequencyController::clearEntries);
    connect(f.stepsClear, &QPushButton::clicked, this, &FrequencyController::clearEntries);
    connect(f.keypadEnter, &QPushButton::clicked, this, [this] { enter(window_.frequencyPanels().keypadEntry); });
    connect(f.stepsEnter, &QPushButton::clicked, this, [this] { enter(window_.frequencyPanels().stepsEntry); });
    // Return in an entry field is that keypad's Enter.
    connect(f.keypadEntry, &QLineEdit::returnPressed, this, [this] { enter(window_.frequencyPanels().keypadEntry); });
    connect(f.stepsEntry, &QLineEdit::returnPressed, this, [this] { enter(window_.frequencyPanels().stepsEntry); });
    for (int i = 0; i < FrequencyPanels::kSteps; ++i) {
        // The panel's steps are whole tenths of a kHz; take them as integers from here on.
        const long long delta = qRound64(FrequencyPanels::stepOf(i) * 10000.0);
        connect(f.stepButtons.at(i), &QPushButton::clicked, this, [this, delta] { step(delta); });
    }
    for (int j = 0; j < FrequencyPanels::kUserFrequencies; ++j)
        connect(f.userSelectButtons.at(j), &QPushButton::clicked, this, [this, j] { selectUserFrequency(j + 1); });
}

bool FrequencyController::send(const QString &line)
{
    try {
        window_.requireClient().SendChatText(line);
    } catch (const std::exception &e) {
        report(QString::fromLatin1(kSendFailed).arg(line, QString::fromUtf8(e.what())));
        return false;
    }
    window_.station().lineSent(line);
    window_.lineSent();
    return true;
}

void FrequencyController::report(const QString &text) { window_.showSendProblem(text); }

void FrequencyController::UpdateFrequencyDisplay()
{
    window_.station().setDisplay(remote::updateFrequencyDisplayText(window_.station().frequency()));
}

void FrequencyController::selectBand(int band)
{
    window_.showPresetPanel(); // shows Frame3 and starts Timer2's 10 s
    window_.setBandOption(band, true);
    window_.ChangeBand();
    window_.SaveData();
}

void FrequencyController::pressPreset(int preset)
{
    FrequencyPanels &f = window_.frequencyPanels();
    f.presetPanel->setVisible(false);
    // The options at the moment of the press count, not the captions.
    const int set = window_.activeSet();
    const int band = window_.activeBand();
    if (set == 0 || band == 0) {
        report(QString::fromLatin1(kNoPresetChoice));
        return;
    }
    const PresetSet &presets = program_.presetSet(set);
    const int i = PresetSet::presetIndex(band, preset);
    window_.station().setFrequency(presets.Text(i));
    send(presets.Texta(i));
    // The display follows the field even when the send failed; the status line says so.
    UpdateFrequencyDisplay();
}

void FrequencyController::appendDigit(int digit)
{
    FrequencyPanels &f = window_.frequencyPanels();
    const QString d = QString::number(digit);
    f.keypadEntry->setText(f.keypadEntry->text() + d);
    f.stepsEntry->setText(f.stepsEntry->text() + d);
}

void FrequencyController::appendPoint()
{
    FrequencyPanels &f = window_.frequencyPanels();
    // Keypad 1's entry decides for both.
    if (!remote::canAppendPoint(f.keypadEntry->text()))
        return;
    f.keypadEntry->setText(f.keypadEntry->text() + QLatin1Char('.'));
    f.stepsEntry->setText(f.stepsEntry->text() + QLatin1Char('.'));
}

void FrequencyController::clearEntries()
{
    FrequencyPanels &f = window_.frequencyPanels();
    f.keypadEntry->clear();
    f.stepsEntry->clear();
}

void FrequencyController::enter(QLineEdit *entry)
{
    const QString typed = entry->text();
    // On a failed send the entry stays, so the operator can press Enter again.
    if (!typed.isEmpty() && !sendFrequency(typed))
        return;
    clearEntries();
}

bool FrequencyController::sendFrequency(const QString &typed)
{
    const QString text = remote::withDecimalPoint(typed);
    // A text that is no frequency changes nothing and stays in the entry to be put right; the
    // reason quotes it as typed.
    if (!remote::isSendableFrequency(text)) {
        report(remote::frequencyRefusal(typed));
        return false;
    }
    // The display keeps the text as typed ("14.23"), unless the four decimals that go out
    // change its value: then it shows what was sent, not a frequency nobody asked for.
    const QString sent = remote::formatFrequency(text);
    window_.station().setDisplay(remote::roundsWhenFormatted(text) ? sent : text);
    window_.station().setFrequency(sent);
    return send(remote::frequencyCommandLine(text, program_.clock().now().time()));
}

void FrequencyController::step(long long tenThousandths)
{
    station::StationState &state = window_.station();
    // A preset's text with a decimal comma ("14,2300") is a frequency to step from.
    const QString from = remote::withDecimalPoint(state.display());
    // No step from a display that holds no frequency, nor to one at or below 0 MHz.
    if (const QString refusal = remote::stepRefusal(from, tenThousandths); !refusal.isEmpty()) {
        report(refusal);
        return;
    }
    if (const std::optional<QString> stepped = remote::addStep(from, tenThousandths))
        state.setDisplay(*stepped);
    const QString shown = state.display();
    window_.station().setFrequency(remote::formatFrequency(shown));
    send(remote::frequencyCommandLine(shown, program_.clock().now().time()));
}

void FrequencyController::selectUserFrequency(int j)
{
    FrequencyPanels &f = window_.frequencyPanels();
    const QString frequency = remote::withDecimalPoint(f.userFrequencies.at(j - 1)->text());
    // An empty field is no frequency: "FN" alone would only confuse the node, and the display
    // would lose the frequency it shows.
    if (frequency.trimmed().isEmpty()) {
        report(QString::fromLatin1(kEmptyUserFrequency).arg(j));
        return;
    }
    window_.station().setFrequency(frequency);
    window_.station().setDisplay(frequency);
    send(remote::frequencyCommand(frequency));
}

} // namespace tavrin
