#pragma once
// Keeps a field to one line: a pasted line break becomes a blank as it is typed. A command
// text is one chat line, and the settings file would store the break as a blank anyway, so
// what the field shows, what a click sends and what comes back after a restart stay the same.
// Thread: user-interface thread.

#include <QValidator>

namespace tavrin {

class OneLineValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        input.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        return Acceptable;
    }
};

} // namespace tavrin
