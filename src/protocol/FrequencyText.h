#pragma once
// The frequency text of the remote-control panel, as plain functions: the "###.###0" format,
// exact decimal steps, the frequency command line, the large display's clean-up and the
// keypad's point rule. Decimal arithmetic runs on the digits of the text, never on a binary
// double, so a step from 7.0000 by -0.0001 is 6.9999 and nothing else.

#include <QString>
#include <QTime>

#include <optional>

namespace tavrin::remote {

// A number: optional blanks and sign, then digits with at most one "." (at least one digit),
// then optional blanks. Locale plays no part.
bool isNumberText(const QString &text);

// A typed frequency with a decimal comma ("14,230", as a German keyboard's number pad types it)
// with a point instead; any other text unchanged. What goes on the wire always has a point.
QString withDecimalPoint(const QString &typed);

// "###.###0": rounded half away from zero to four decimals, "." as separator, no digit
// before the point below 1 (".5000"), no thousands separator. A text that is not a number
// comes back unchanged.
QString formatFrequency(const QString &text);

// True when the format above changes the value of `text`: digits beyond the fourth decimal
// that are not all zero ("14.23456", not "14.230000").
bool roundsWhenFormatted(const QString &text);

// text + delta / 10000, formatted as above; nullopt when text is not a number.
std::optional<QString> addStep(const QString &text, long long deltaTenThousandths);

// A frequency command goes out only for a frequency above 0 MHz as it is sent (rounded to
// four decimals): "..", "-.0050" or ".0000" would only confuse the distant node.
bool isSendableFrequency(const QString &text);
// Why no frequency command may go out for `text`; empty when one may.
QString frequencyRefusal(const QString &text);
// Why no step by delta / 10000 MHz may go out from the display text `from`: it holds no
// frequency (the start-up "000.0000" included), or the step would leave none. Empty when
// the step may go out.
QString stepRefusal(const QString &from, long long deltaTenThousandths);

// "FN" + the text as it stands: a user frequency or a preset's command.
QString frequencyCommand(const QString &text);
// "FN" + formatted frequency + " MHz  -  " + time as "hh:mm:ss".
QString frequencyCommandLine(const QString &frequencyText, const QTime &time);

// What follows the frequency in a frequency command line (" MHz  -  " and "hh:mm:ss"): a
// line that carries it is another panel's command, not the node's report.
bool isCommandLineTail(QStringView rest);

// Whole hertz as MHz text with four decimals, the way the keypad takes it: 14074000 gives
// "14.0740". Below 100 Hz resolution the value is truncated.
QString hertzToFrequencyText(qint64 hz);
// The inverse for the node's reports ("14.2300" gives 14230000); nullopt when not a number.
std::optional<qint64> frequencyTextToHertz(const QString &text);

// The large display's text from the frequency field: upper-cased, then every blank, unit,
// mode and angle bracket removed ("14.195 usb" gives "14.195").
QString updateFrequencyDisplayText(const QString &frequencyField);

// The keypads add a point only while the entry holds none at its second or a later place;
// a leading "." does not count, so two presses on an empty entry give "..".
bool canAppendPoint(const QString &entry);

} // namespace tavrin::remote
