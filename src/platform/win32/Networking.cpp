#include "platform/Networking.h"

#include "platform/win32/Native.h"

// Every call is one start of the library: the system counts them, and the
// process's end releases them all.
bool StartNetworking(uint16_t wanted, uint16_t* granted) {
  WSADATA data;
  const int result = WSAStartup(wanted, &data);
  if (result != 0) {
    // The start reports its error itself; the caller reads the thread's.
    WSASetLastError(result);
    *granted = 0;
    return false;
  }
  *granted = data.wVersion;
  return true;
}
