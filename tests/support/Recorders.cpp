// The recorders are defined in their header.
#include "support/Recorders.h"
