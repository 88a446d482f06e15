#include "echolink/native/ControlGuard.h"

#include <array>
#include <cerrno>

#include <netinet/in.h>
#include <sys/socket.h>

namespace tavrin::controlguard {

namespace {

constexpr unsigned char kSenderReport = 200;
constexpr unsigned char kReceiverReport = 201;
constexpr unsigned char kSourceDescription = 202;
constexpr unsigned char kPaddingBit = 0x20;

// The library's protocol version, and the older one it also takes in front.
bool knownVersion(unsigned char first) { return (first >> 6) == 3 || (first >> 6) == 1; }

// The items of a source description from `from` to `end`: each whole, and an end item
// before `end`, so a reader that stops at the end item stays inside.
bool itemsInside(const unsigned char *data, qsizetype from, qsizetype end)
{
    qsizetype at = from;
    while (at < end) {
        if (data[at] == 0)
            return true;
        if (at + 2 > end)
            return false;
        at += 2 + data[at + 1];
    }
    return false;
}

} // namespace

bool isSafe(QByteArrayView datagram)
{
    const auto *data = reinterpret_cast<const unsigned char *>(datagram.data());
    const qsizetype size = datagram.size();
    // The library reads a packet's first four bytes whatever its length.
    if (size < 4)
        return false;
    if (!knownVersion(data[0]) || (data[0] & kPaddingBit) != 0
        || (data[1] != kSenderReport && data[1] != kReceiverReport))
        return true; // not RTCP to the library: it reads no further
    bool description = false;
    bool describedSource = false;
    for (qsizetype at = 0; at < size;) {
        if (at + 4 > size || !knownVersion(data[at]))
            return false;
        const qsizetype length = (qsizetype(data[at + 2]) << 8 | data[at + 3]) * 4 + 4;
        if (at + length > size)
            return false;
        if (data[at + 1] == kSourceDescription) {
            description = true;
            if ((data[at] & 0x1f) > 0) {
                if (length < 8 || !itemsInside(data, at + 8, at + length))
                    return false;
                describedSource = true;
            }
        }
        at += length;
    }
    // A description packet without a source in it is searched past its end.
    return !description || describedSource;
}

bool admit(int fd, quint16 controlPort)
{
    int type = 0;
    socklen_t typeSize = sizeof type;
    sockaddr_in local{};
    socklen_t localSize = sizeof local;
    if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &typeSize) != 0 || type != SOCK_DGRAM
        || ::getsockname(fd, reinterpret_cast<sockaddr *>(&local), &localSize) != 0 || local.sin_family != AF_INET
        || ntohs(local.sin_port) != controlPort)
        return true;
    static std::array<char, 65536> buffer; // one thread, one datagram at a time
    const ssize_t size = ::recv(fd, buffer.data(), buffer.size(), MSG_PEEK | MSG_DONTWAIT);
    if (size < 0)
        return errno != EAGAIN && errno != EWOULDBLOCK; // an error is the library's to see
    if (isSafe(QByteArrayView(buffer.data(), size)))
        return true;
    (void)::recv(fd, buffer.data(), 1, MSG_DONTWAIT); // takes the whole datagram off the queue
    return false;
}

} // namespace tavrin::controlguard
