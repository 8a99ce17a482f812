#include "app/SocketsStartup.h"

#include <cstdio>

#include "app/StringIds.h"
#include "platform/Networking.h"
#include "platform/SystemError.h"

bool StartSockets(INoticeSink& notices, uint16_t wanted) {
  uint16_t granted = 0;
  const int error = StartNetworking(wanted, &granted);
  if (error != 0) {
    notices.ShowWarning(SystemErrorText(error));
    return false;
  }
  if (granted == 0x0202) return true;
  StopNetworking();
  char text[128];
  snprintf(text, sizeof text, LoadStringId(IDS_SOCKETS_VERSION), granted & 0xFF, granted >> 8);
  notices.ShowWarning(text);
  return false;
}
