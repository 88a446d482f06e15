#pragma once
// Control datagrams the protocol library must never read. Its RTCP reader trusts the length
// fields of a control packet and walks past the end of a short one, into whatever the datagram
// before it left in its buffer: a 12-byte packet from anyone can then "carry" another
// station's callsign, and a crafted one reads far beyond the buffer. Such datagrams are taken
// off the socket here, before the library is woken for them.
//
// Thread: user-interface thread (the library's).

#include <QByteArrayView>
#include <QtGlobal>

namespace tavrin::controlguard {

// True when the library may read this control datagram: it is no RTCP packet by the
// library's own test (the library then ignores it), or every part of it lies inside it.
bool isSafe(QByteArrayView datagram);

// For a readable descriptor: true when the library may read what waits there. A datagram on
// the UDP socket bound to `controlPort` that is not safe is consumed here and false returned;
// false also when nothing is waiting.
bool admit(int fd, quint16 controlPort);

} // namespace tavrin::controlguard
