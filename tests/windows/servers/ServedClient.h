#pragma once
// The fake automation object as the registered servers hand it out: sparse dispatch ids, the
// registered type library for its type information, the test commands of ServerProtocol.h,
// and the class factory both servers register.

#include <windows.h>
#include <objbase.h>

namespace tavrin::servers {

// A new fake with one reference for the caller. Must be made on an STA thread that pumps
// messages (events raised after a call are posted to a window of that thread).
IUnknown *createServedClient();

// Lets go of the fakes that only this module still holds; true when none is left.
bool releaseUnusedClients();
// Before the module goes away: its window class goes too (no fake may be left).
void unregisterWindowClass();
// Whether any fake was made since the module started.
bool anyClientCreated();

// Server locks (IClassFactory::LockServer).
long serverLocks();

// The class factory of the client's class id (static: never deleted).
IClassFactory *classFactory();

// The busy server: whether the incoming dispatch call should be turned away now, counting it.
bool takeRejection();

} // namespace tavrin::servers
