// What one gateway's pass at a station tells: found, its Check, each status,
// "%" and result of a row, notices, and the end of the pass. Passes run at
// once, so a listener hears events from several threads.
#pragma once

#include <cstdint>
#include <string>

#include "cli/TransferMeter.h"
#include "model/ModuleList.h"
#include "router/DiscoverRouter.h"

struct GatewayEvent {
  enum Kind { FOUND, CHECKED, STATUS, PROGRESS, ROW_RESULT, NOTICE, PASS_END };

  Kind m_Kind = FOUND;
  RouterInfo m_Router;             // the gateway: its interface and MAC for every kind
  int m_Row = -1;                  // STATUS, PROGRESS, ROW_RESULT
  std::string m_Type;              // the row's type name
  std::string m_Text;              // status, result or notice; why a Check or a pass failed
  std::string m_Percent;           // PROGRESS: the "%" cell
  TransferMeter m_Transfer;        // PROGRESS: the row's image on its way, if any
  bool m_Succeeded = false;        // CHECKED, ROW_RESULT, PASS_END
  uint64_t m_ElapsedMs = 0;        // program time since the gateway was found
};

class IGatewayEvents {
 public:
  virtual ~IGatewayEvents() = default;
  virtual void OnEvent(const GatewayEvent& event) = 0;
};

// How one gateway's pass ended.
struct GatewayOutcome {
  enum Result { UPGRADED, FAILED, NOT_STARTED };
  RouterInfo m_Router;
  Result m_Result = NOT_STARTED;
  std::string m_Text;  // FAILED: the failed row and its text; NOT_STARTED: why
};
