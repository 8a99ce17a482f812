#include "platform/SocketsStartup.h"

#include <cstdio>

#include "model/StringIds.h"
#include "platform/Networking.h"
#include "platform/SystemError.h"

bool StartSockets(std::string* warning, uint16_t wanted) {
  uint16_t granted = 0;
  const int error = StartNetworking(wanted, &granted);
  if (error != 0) {
    *warning = SystemErrorText(error);
    return false;
  }
  if (granted == 0x0202) return true;
  StopNetworking();
  char text[128];
  snprintf(text, sizeof text, LoadStringId(IDS_SOCKETS_VERSION), granted & 0xFF, granted >> 8);
  *warning = text;
  return false;
}
