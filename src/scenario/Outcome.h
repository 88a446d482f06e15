#pragma once
// The result of one scenario step: it held, or what was expected and what was found. The
// runner prints a failure as "line N: expected X, got Y".

#include <QString>

namespace tavrin::scenario {

struct Outcome {
    bool ok = true;
    QString expected;
    QString got;

    static Outcome success() { return {}; }
    static Outcome failure(QString expected, QString got) { return {false, std::move(expected), std::move(got)}; }
};

} // namespace tavrin::scenario
