#pragma once

// Whether this computer has a network connection worth trying a server
// over: the system's network information where a backend reports it,
// otherwise any interface that is up, not loopback and has an address.

namespace auralith::net {

bool IsNetworkConnected();

// The fallback on its own: the interfaces as the kernel lists them.
bool AnyUsableInterface();

}  // namespace auralith::net
