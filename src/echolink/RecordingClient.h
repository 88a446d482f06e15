#pragma once
// A factory decorator that records every client operation made through its handles
// ("Connect XX9XYZ-L", "SendChatText FR?", "StationCount"), in call order, for scenario
// runs. It can also stand for "no client": then create() fails.
//
// Thread: user-interface thread. Owns nothing but its log; the wrapped factory is not owned.

#include "echolink/EchoLinkClient.h"

#include <QStringList>

namespace tavrin {

struct RecordedCall {
    QString operation; // "SendChatText"
    QString argument;  // "FR?" (empty for operations without one)
    bool failed = false;
};

class RecordingClientFactory final : public EchoLinkClientFactory {
public:
    // `inner` null means no client exists.
    explicit RecordingClientFactory(EchoLinkClientFactory *inner);
    std::unique_ptr<EchoLinkClient> create() override;

    const QList<RecordedCall> &calls() const { return calls_; }

private:
    friend class RecordingClient;
    EchoLinkClientFactory *inner_;
    QList<RecordedCall> calls_;
};

} // namespace tavrin
