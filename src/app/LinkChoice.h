#pragma once
// Which EchoLink link a run of the program uses, decided once at start from "TVRlink.ini":
// the native station when the operator chose the EchoLink network and gave a callsign
// (and this build has the native link), otherwise the simulated link.
//
// Plain functions; no window, no network.

#include "settings/LinkSettings.h"

#ifdef TAVRIN_HAVE_NATIVE_LINK
#include "echolink/native/NativeLink.h"
#endif

namespace tavrin::link {

enum class Backend { Simulated, Native };

#ifdef TAVRIN_HAVE_NATIVE_LINK
inline constexpr bool kNativeLinkBuilt = true;
#else
inline constexpr bool kNativeLinkBuilt = false;
#endif

Backend chooseBackend(const LinkSettings &settings, bool nativeBuilt = kNativeLinkBuilt);

#ifdef TAVRIN_HAVE_NATIVE_LINK
// The native station's options from the settings; the password comes later, from the keychain.
NativeLinkOptions nativeLinkOptions(const LinkSettings &settings);
#endif

} // namespace tavrin::link
