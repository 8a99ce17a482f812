#include "platform/Networking.h"

#include "platform/win32/Native.h"

// Every start is counted by the system; the process's end releases them all.
int StartNetworking(uint16_t wanted, uint16_t* granted) {
  WSADATA data;
  const int result = WSAStartup(wanted, &data);
  *granted = result == 0 ? data.wVersion : 0;
  return result;
}

void StopNetworking() { WSACleanup(); }
