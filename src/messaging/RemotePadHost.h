#pragma once
// What the Remote Pad needs of the main window: its entry fields, its frequency field and
// display, and the frequency text rules it uses. The pad drives the main window through this
// interface only, so the messaging library never sees the main window's classes; the
// composition root implements it. The transmit state and request live in the station model.
//
// Thread: user-interface thread.

#include <QString>
#include <QTime>

#include <optional>

namespace tavrin::messaging {

class RemotePadHost {
public:
    virtual ~RemotePadHost() = default;

    // The entry fields Text3 and Text11 of the main window's two keypads.
    virtual void appendToEntries(const QString &text) = 0;
    virtual void clearEntries() = 0;

    // Label4, the large display, and Text1, the frequency field.
    virtual QString display() const = 0;
    virtual void setDisplay(const QString &text) = 0;
    virtual void setFrequency(const QString &text) = 0;

    // The frequency text rules of the main window's keypads and steps.
    virtual QString formatFrequency(const QString &text) const = 0;
    // text + tenThousandths / 10000, formatted; nothing when text is not a number.
    virtual std::optional<QString> addStep(const QString &text, long long tenThousandths) const = 0;
    virtual bool canAppendPoint(const QString &entry) const = 0;
    // Why no frequency command may go out for an entered text, or for a step from the
    // display (not a frequency above 0 MHz); empty when it may.
    virtual QString frequencyRefusal(const QString &text) const = 0;
    virtual QString stepRefusal(const QString &display, long long tenThousandths) const = 0;
};

} // namespace tavrin::messaging
