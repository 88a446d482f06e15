#pragma once
// A client backend for benchmarks: every handle answers at once and records nothing, so only
// the program's own handlers are measured. raise() hands a chat line to every live handle in
// creation order (the main window first), as a real backend does.

#include "echolink/EchoLinkClient.h"

#include <QString>

#include <algorithm>
#include <memory>
#include <vector>

namespace tavrin::bench {

class QuietLink final : public EchoLinkClientFactory {
public:
    std::unique_ptr<EchoLinkClient> create() override { return std::make_unique<Handle>(*this); }

    void raise(const QString &line)
    {
        const auto live = handles_;
        for (Handle *h : live)
            emit h->ChatTextReceived(line);
    }

private:
    class Handle final : public EchoLinkClient {
    public:
        explicit Handle(QuietLink &link) : link_(link) { link_.handles_.push_back(this); }
        ~Handle() override { std::erase(link_.handles_, this); }
        void Connect(const QString &, bool) override {}
        void Disconnect(const QString &) override {}
        void DisconnectAll() override {}
        void SetTransmit(bool) override {}
        bool IsTransmitting() override { return false; }
        int StationCount() override { return 1; }
        bool IsConnected(const QString &) override { return false; }
        QString StationCallsign() override { return QStringLiteral("XX1TVR-L"); }
        void SetBusy(bool) override {}
        void SendChatText(const QString &) override {}
        void SetCallTimeout(int ms) override { timeout_ = ms; }
        int callTimeout() const override { return timeout_; }

    private:
        QuietLink &link_;
        int timeout_ = 0;
    };

    std::vector<Handle *> handles_;
};

} // namespace tavrin::bench
