#include "window/qt/WindowResources.h"

#include <QtGlobal>

// The registration macro must stand outside any namespace.
static void RegisterWindowResources() { Q_INIT_RESOURCE(window); }

void InitWindowResources() {
  static const bool registered = (RegisterWindowResources(), true);
  (void)registered;
}
