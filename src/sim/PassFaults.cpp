#include "sim/PassFaults.h"

int PassFaults::Begin() {
  if (m_InPass) return 0;
  m_InPass = true;
  ++m_Passes;
  m_Step.clear();
  if (m_Passes % PASS_FAULT_PERIOD == 0)
    m_Step = PASS_FAULT_STEPS[(m_Passes / PASS_FAULT_PERIOD - 1) % PASS_FAULT_STEP_COUNT];
  return m_Passes;
}

void PassFaults::End() {
  m_InPass = false;
  m_Step.clear();
}
