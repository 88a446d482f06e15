#include "echolink/native/NativeHandle.h"

#include "echolink/native/NativeStation.h"

namespace tavrin {

namespace {
}

NativeClient::NativeClient(NativeLinkStation *station) : station_(station)
{
    if (station)
        station->addHandle(this);
}

NativeLinkStation &NativeClient::station()
{
    if (!station_)
        throw EchoLinkError(kStationShutDown);
    return *station_;
}

void NativeClient::Connect(const QString &callsign, bool /*flag: no meaning here*/)
{
    station().connectTo(callsign);
}

void NativeClient::Disconnect(const QString &callsign)
{
    station().disconnectFrom(callsign);
}

void NativeClient::DisconnectAll()
{
    station().disconnectAll();
}

void NativeClient::SetTransmit(bool on)
{
    station().setTransmit(on);
}

bool NativeClient::IsTransmitting()
{
    return station().isTransmitting();
}

int NativeClient::StationCount()
{
    return station().stationCount();
}

bool NativeClient::IsConnected(const QString &callsign)
{
    return station().isConnected(callsign);
}

QString NativeClient::StationCallsign()
{
    return station().callsign();
}

void NativeClient::SetBusy(bool busy)
{
    station().setBusy(busy);
}

void NativeClient::SendChatText(const QString &text)
{
    station().sendChat(text);
}

std::unique_ptr<EchoLinkClient> NativeClientFactory::create()
{
    if (!station_)
        throw EchoLinkError(kStationShutDown);
    return std::make_unique<NativeClient>(station_.data());
}

} // namespace tavrin
