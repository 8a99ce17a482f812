// Placeholder until the simulator lands.
#include "sim/GatewaySim.h"
