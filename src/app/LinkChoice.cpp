#include "app/LinkChoice.h"

namespace tavrin::link {

Backend chooseBackend(const LinkSettings &settings, bool nativeBuilt)
{
    return nativeBuilt && settings.usesNativeLink() ? Backend::Native : Backend::Simulated;
}

#ifdef TAVRIN_HAVE_NATIVE_LINK
NativeLinkOptions nativeLinkOptions(const LinkSettings &settings)
{
    NativeLinkOptions o;
    // The library sends the callsign as given, and peers expect capitals.
    o.callsign = settings.callsign.trimmed().toUpper();
    o.name = settings.name;
    o.location = settings.location;
    o.directoryServers = settings.directoryServers.isEmpty() ? LinkSettings::defaultDirectoryServers()
                                                             : settings.directoryServers;
    o.portBase = settings.portBase;
    o.audioInput = settings.audioInput;
    o.audioOutput = settings.audioOutput;
    return o;
}
#endif

} // namespace tavrin::link
