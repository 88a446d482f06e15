#pragma once
// What the Remote Pad needs of the main window: its entry fields. The frequency text rules
// and the lines it sends come from the protocol library, as they do for the main window; the
// frequency, the display and the transmit state and request live in the station model.
// The pad drives the main window through this interface only, so the messaging library
// never sees the main window's classes; the composition root implements it.
//
// Thread: user-interface thread.

#include <QString>

namespace tavrin::messaging {

class RemotePadHost {
public:
    virtual ~RemotePadHost() = default;

    // The entry fields Text3 and Text11 of the main window's two keypads.
    virtual void appendToEntries(const QString &text) = 0;
    virtual void clearEntries() = 0;
};

} // namespace tavrin::messaging
