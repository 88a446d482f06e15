#include "echolink/automation/AutomationHandle.h"

#include "echolink/automation/LinkShared.h"

namespace tavrin::automation {

AutomationHandle::~AutomationHandle()
{
    if (link_)
        link_->detach(this);
}

AutomationLink &AutomationHandle::link() const
{
    if (!link_)
        throw EchoLinkError(kClientNotRunning);
    return *link_;
}

void AutomationHandle::Connect(const QString &callsign, bool flag)
{
    link().command("Connect", [c = callsign.toStdString(), flag](AutomationPort &p) { p.Connect(c, flag); });
}

void AutomationHandle::Disconnect(const QString &callsign)
{
    link().command("Disconnect", [c = callsign.toStdString()](AutomationPort &p) { p.Disconnect(c); });
}

void AutomationHandle::DisconnectAll()
{
    link().command("DisconnectAll", [](AutomationPort &p) { p.DisconnectAll(); });
}

void AutomationHandle::SetTransmit(bool on)
{
    link().command("SetTransmit", [on](AutomationPort &p) { p.SetTransmit(on); });
}

void AutomationHandle::SetBusy(bool busy)
{
    link().command("SetBusy", [busy](AutomationPort &p) { p.SetBusy(busy); });
}

void AutomationHandle::SendChatText(const QString &text)
{
    link().command("SendChatText", [t = text.toStdString()](AutomationPort &p) { p.SendChatText(t); });
}

bool AutomationHandle::IsTransmitting() { return link().ask(int(Query::Transmitting)).flag; }

int AutomationHandle::StationCount() { return link().ask(int(Query::StationCount)).number; }

bool AutomationHandle::IsConnected(const QString &callsign)
{
    return link().ask(int(Query::Connected), callsign).flag;
}

QString AutomationHandle::StationCallsign() { return link().ask(int(Query::Callsign)).text; }

} // namespace tavrin::automation
