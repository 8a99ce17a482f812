#include "diag/DiagCaller.h"

#include <cstring>

#include "log/UpgradeLog.h"
#include "net/Clock.h"
#include "net/PortChannel.h"
#include "net/ProtocolTimes.h"

int CDiagCaller::Execute(const uint8_t* request, uint32_t requestLength, uint32_t expectedLength,
                         int leadingFlag, uint32_t readTimeoutMs) {
  for (int attempt = 1; attempt <= DIAG_TRIES; ++attempt) {
    if (!m_pChannel->SendFrame(request, requestLength, leadingFlag, SEND_TIMEOUT_MS)) {
      LogPrintf(m_pLog, "Execute#%d> Write Fail", attempt);
    } else {
      // Bytes beyond a short reply read as 0xCD, never as a stale reply.
      memset(m_Reply, 0xCD, sizeof m_Reply);
      m_ReplyLength = 0;
      if (!m_pChannel->Receive(m_Reply, DIAG_REPLY_SIZE, &m_ReplyLength, readTimeoutMs)) {
        LogPrintf(m_pLog, "Execute#%d> Read Fail", attempt);
      } else {
        const uint8_t first = m_Reply[0];
        if (first == 0x13 || first == 0x14 || first == 0x15) {
          // The module rejected the request itself; asking again won't help.
          LogPrintf(m_pLog, "Execute#%d> %02X", attempt, first);
          return 0;
        }
        if (first == 0x03 || first == 0x18) {
          LogPrintf(m_pLog, "Execute#%d> (%02X %02X %02X)", attempt, first, m_Reply[1], m_Reply[2]);
        } else if (expectedLength == 0 || m_ReplyLength == expectedLength) {
          return 1;
        } else {
          LogPrintf(m_pLog, "CDiagCaller::Execute> Response's Length Error(Expect:%d Actual:%d)",
                    static_cast<int>(expectedLength), static_cast<int>(m_ReplyLength));
        }
      }
    }
    Clock::Sleep(DIAG_RETRY_PAUSE_MS);
  }
  return 0;
}
