// Where the ports come from. The program always gets the socket ports; a
// test may hand out ports of its own (in-memory peers) for the same code.
#pragma once

#include <functional>
#include <memory>

#include "net/INetPort.h"

using PortMaker = std::function<std::unique_ptr<INetPort>(int kind)>;

// A new, unopened port of the kind (PORT_UDP or PORT_TCP); null for another kind.
std::unique_ptr<INetPort> MakePort(int kind);

// Replaces the maker for the whole process; an empty maker restores the
// sockets. Set it while no port is being made (before the threads start).
void SetPortMaker(PortMaker maker);
