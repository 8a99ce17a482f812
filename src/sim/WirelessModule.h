// The wireless module behind the router, as the tool meets it through the
// router's TCP stream: its normal diagnostic mode, its downloader, and the
// restarts between them (silent for the restart time).
//
// Normal mode answers the handshake, the board and dashboard version
// queries, NV backup, NV restore, restore status, change mode and the switch
// to the downloader (which restarts the module into it). The downloader
// answers the handshake, unlock, block writes (stored by address) and reset
// (which restarts it). Anything else gets 13 followed by the request; a lone
// one-byte 26 frame (sent before each unlock) gets nothing.
//
// A restart ends in the downloader when it was a switch to the downloader,
// when the router's forcing download flag is set at its end, or when the
// "stays in downloader" fault is on; otherwise in normal mode, where a module
// that took block writes since its last normal start reports its new
// firmware and dashboard versions (when configured) and has restored its NV
// backup.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/GatewaySim.h"
#include "sim/RouterState.h"
#include "sim/SimTime.h"

class SimRecorder;

enum class ModuleMode { Normal, Downloader, Restarting };

class WirelessModule {
 public:
  WirelessModule(const SimOptions& options, RouterState* router, SimRecorder* recorder);

  // One decoded request. Returns the reply payload, empty for no answer.
  // *resetConnection is set when a fault asks to drop the connection instead.
  std::vector<uint8_t> Handle(const uint8_t* request, size_t length, SimTime now,
                              bool* resetConnection);

  // Starts a restart; intoDownloader forces the downloader at its end.
  void Restart(SimTime now, bool intoDownloader, const std::string& cause);
  // Ends a restart whose time has come.
  void Tick(SimTime now);
  // When Tick has something to do; SIM_NEVER when not restarting.
  SimTime Deadline() const;

  ModuleMode Mode() const { return m_Mode; }
  const std::string& FirmwareVersion() const { return m_FirmwareVersion; }
  const std::string& DashboardVersion() const { return m_DashboardVersion; }

 private:
  std::vector<uint8_t> HandleNormal(const uint8_t* request, size_t length, SimTime now);
  std::vector<uint8_t> HandleDownloader(const uint8_t* request, size_t length, SimTime now,
                                        bool* resetConnection);
  // Every request has one event; these answer or silence it.
  std::vector<uint8_t> Reply(const std::vector<uint8_t>& payload, const std::string& text);
  std::vector<uint8_t> NoReply(const std::string& why);
  std::vector<uint8_t> Refuse(uint8_t command, const std::string& why);  // 3-byte 03 reply
  std::vector<uint8_t> Unknown(const uint8_t* request, size_t length);
  // The wrong answer of the fail-every-tenth-pass fault to the request name.
  std::vector<uint8_t> FailForPass(const std::string& name, const uint8_t* request);
  bool HandshakeSilenced();
  std::vector<uint8_t> Handshake(bool inDownloader, bool offline);
  std::vector<uint8_t> NvBackupRestore(const uint8_t* request);
  std::vector<uint8_t> RestoreStatus(const uint8_t* request);
  std::vector<uint8_t> Write(const uint8_t* request, size_t length, bool* resetConnection);

  const SimOptions m_Options;
  const SimFaults& m_Faults;
  RouterState* m_Router;
  SimRecorder* m_Recorder;

  ModuleMode m_Mode;
  SimTime m_RestartEnd = SIM_NEVER;
  bool m_RestartIntoDownloader = false;
  std::string m_FirmwareVersion;
  std::string m_DashboardVersion;
  bool m_OfflineMode = false;     // set by change mode 1, cleared by a restart
  bool m_Unlocked = false;        // downloader unlocked since its start
  bool m_Written = false;         // block writes since the last normal start
  bool m_BackupExists = false;
  size_t m_Event = 0;             // event of the request being handled

  // Fault counters over the simulator's life.
  int m_Handshakes = 0;
  int m_UnlocksRefused = 0;
  int m_RestoresRefused = 0;
  int m_BlocksWritten = 0;
  int m_BlockRefusals = 0;
  bool m_ConnectionResetDone = false;
};
