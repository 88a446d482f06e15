#pragma once
// The EchoLink library writes a line to std::cerr or std::cout for every packet it cannot
// use: one for each packet from an address no link belongs to ("Spurious audio packet
// received from ..."), one for each bad audio frame. Anyone can send such packets, with any
// source address, so unchecked they flood the terminal or the journal, and the journal then
// drops the station's own lines along with them. Our own code never writes to those two
// streams, so what reaches them is the library's.
//
// A LineLimiter lets lines through in a burst of kBurst, then one every kRefillMs, and says
// how many it left out with the next line it lets through. Control characters are shown as
// '?' and a line is cut at kLongestLine characters.
//
// Thread: any (a mutex serialises writers).

#include <chrono>
#include <functional>
#include <mutex>
#include <streambuf>
#include <string>

namespace tavrin::native {

class LineLimiter final : public std::streambuf {
public:
    static constexpr int kBurst = 20;
    static constexpr int kRefillMs = 5000;
    static constexpr std::size_t kLongestLine = 300;
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // Writes what it lets through to `out`, which must outlive it.
    explicit LineLimiter(std::streambuf *out, Clock clock = {});
    ~LineLimiter() override;

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char *s, std::streamsize n) override;
    int sync() override;

private:
    void put(char c);
    void endLine();

    std::streambuf *out_;
    Clock clock_;
    std::mutex mutex_;
    std::string line_;
    double tokens_ = kBurst;
    std::chrono::steady_clock::time_point lastRefill_;
    long long leftOut_ = 0;
};

// Puts a LineLimiter in front of std::cerr and std::cout for the rest of the process. Once
// is enough; later calls do nothing.
void limitLibraryMessages();

} // namespace tavrin::native
