// The simulator's faults as command-line text: --fault NAME or NAME=VALUE.
#pragma once

#include <string>

#include "sim/GatewaySim.h"

// Applies one fault to faults; false with a reason for an unknown name or a
// bad value.
bool ApplyFault(const std::string& text, SimFaults* faults, std::string* error);

// The list of fault names for --help.
std::string FaultHelp();
