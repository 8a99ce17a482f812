// What the router itself remembers between requests, shared by its UDP and
// TCP services and looked at by the wireless module when it restarts.
#pragma once

#include "sim/PassFaults.h"
#include "sim/SimTime.h"

struct RouterState {
  // The tool's upgrade passes, for the fail-every-tenth-pass fault.
  PassFaults m_Passes;
  // The forcing download mode: a module that restarts while it is set comes
  // back in its downloader.
  bool m_ForceLoad = false;
  // The router does not answer pings before this time (a fault: the router
  // restarting along with the module).
  SimTime m_PingSilentUntil{};
  // Pings still answered before the next restart (a fault: the router
  // answers the first presence wait but not the second); -1: all of them.
  int m_PingsLeft = -1;
};
