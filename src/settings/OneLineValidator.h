#pragma once
// Keeps a field to one line: a pasted line break becomes a blank as it is typed. A command
// text is one chat line, and the settings file would store the break as a blank anyway, so
// what the field shows, what a click sends and what comes back after a restart stay the same.
// It also keeps characters whole: a field's length limit cuts a typed or pasted character made
// of two UTF-16 units (an emoji) in half, and the half left would be saved as "?". It is dropped.
// Thread: user-interface thread.

#include <QValidator>

namespace tavrin {

class OneLineValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString &input, int &cursor) const override
    {
        input.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        for (qsizetype i = 0; i < input.size();) {
            if (input.at(i).isHighSurrogate() && i + 1 < input.size() && input.at(i + 1).isLowSurrogate()) {
                i += 2;
            } else if (input.at(i).isSurrogate()) {
                input.remove(i, 1);
                if (cursor > i)
                    --cursor;
            } else {
                ++i;
            }
        }
        return Acceptable;
    }
};

} // namespace tavrin
