// The fault "fail-every-tenth-pass": the simulator counts the tool's upgrade
// passes and makes every tenth one fail at one step, the next step of
// PASS_FAULT_STEPS each time, so that a long run walks the failure paths.
//
// A pass begins with the first router image announced on a TCP connection
// (the tool connects once per pass; its Check connects too, but announces no
// image) and ends with that connection. Steps are named by the request the
// simulator then answers wrongly:
//   rut-image          the router's result code is 1, not 4
//   handshake          no handshake is answered
//   nv-backup          NV backup refused (reason 4)
//   switch-downloader  the switch to the downloader refused (03 reply)
//   unlock, write, reset  refused by the downloader (03 reply)
//   restore-status     restore status says "restore failed", NV restore refused
//   iso-version        the dashboard version query is not answered
#pragma once

#include <string>

constexpr const char* PASS_FAULT_STEPS[] = {"rut-image", "handshake", "nv-backup", "switch-downloader", "unlock",
                                            "write",     "reset",     "restore-status", "iso-version"};
constexpr int PASS_FAULT_STEP_COUNT = sizeof PASS_FAULT_STEPS / sizeof PASS_FAULT_STEPS[0];
constexpr int PASS_FAULT_PERIOD = 10;

class PassFaults {
 public:
  // A router image was announced: counts a pass unless one is under way.
  // Returns the new pass's number, 0 when none began.
  int Begin();
  // The connection of the pass ended.
  void End();
  // The current pass fails at this step.
  bool Fails(const std::string& step) const { return m_Step == step; }
  const std::string& FailingStep() const { return m_Step; }

 private:
  int m_Passes = 0;
  bool m_InPass = false;
  std::string m_Step;  // empty: the pass goes well
};
