#include "echolink/native/LibraryMessages.h"

#include <algorithm>
#include <iostream>

namespace tavrin::native {

LineLimiter::LineLimiter(std::streambuf *out, Clock clock)
    : out_(out), clock_(clock ? std::move(clock) : Clock([] { return std::chrono::steady_clock::now(); }))
{
    lastRefill_ = clock_();
}

LineLimiter::~LineLimiter()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!line_.empty())
        endLine();
}

LineLimiter::int_type LineLimiter::overflow(int_type c)
{
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    const std::lock_guard<std::mutex> lock(mutex_);
    put(traits_type::to_char_type(c));
    return c;
}

std::streamsize LineLimiter::xsputn(const char *s, std::streamsize n)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    for (std::streamsize i = 0; i < n; ++i)
        put(s[i]);
    return n;
}

int LineLimiter::sync()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return out_->pubsync();
}

void LineLimiter::put(char c)
{
    if (c == '\n') {
        endLine();
        return;
    }
    if (line_.size() >= kLongestLine)
        return;
    const auto byte = static_cast<unsigned char>(c);
    line_.push_back(byte < 0x20 || byte == 0x7f ? '?' : c);
}

void LineLimiter::endLine()
{
    const auto now = clock_();
    const double refilled = double(std::chrono::duration_cast<std::chrono::milliseconds>(now - lastRefill_).count())
        / double(kRefillMs);
    if (refilled > 0) {
        tokens_ = std::min<double>(kBurst, tokens_ + refilled);
        lastRefill_ = now;
    }
    if (tokens_ < 1) {
        ++leftOut_;
        line_.clear();
        return;
    }
    tokens_ -= 1;
    if (leftOut_ > 0) {
        std::string said = std::to_string(leftOut_);
        said.insert(said.begin(), '(');
        said.append(" more messages of the EchoLink library left out)\n");
        out_->sputn(said.data(), std::streamsize(said.size()));
        leftOut_ = 0;
    }
    line_.push_back('\n');
    out_->sputn(line_.data(), std::streamsize(line_.size()));
    out_->pubsync();
    line_.clear();
}

void limitLibraryMessages()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Never deleted: the library may write from its own destructors at exit.
        std::cerr.rdbuf(new LineLimiter(std::cerr.rdbuf()));
        std::cout.rdbuf(new LineLimiter(std::cout.rdbuf()));
    });
}

} // namespace tavrin::native
