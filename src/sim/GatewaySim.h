// A gateway to try and test the tool without hardware: the router's UDP
// command service and TCP upgrade service on one port, and the wireless
// module behind the router with its normal diagnostic mode and downloader.
// It plays the gateway's side of every exchange, with faults to order, and
// records what it received.
//
// Choices where the tool leaves the gateway free:
// - Delays (install, restart, result delay, ping silence, the 1000 ms idle
//   end of a short router image) are real time divided by m_TimeScale; the
//   idle end never drops below 50 ms real, so a busy machine does not cut
//   an image in two.
// - One TCP connection is served at a time; a new one replaces the old.
// - Replies on TCP are frames with a leading flag; refusals of the
//   downloader are 3 bytes: 03, the request's command byte, 01.
// - The downloader takes block writes only after a good unlock since its
//   last start. Block numbers of the faults count accepted writes over the
//   simulator's run, from 1; a refused write keeps its number.
// - A restart out of the downloader into normal mode after block writes
//   applies both m_NewFirmwareVersion and m_NewDashboardVersion (each when
//   set): the wire does not say which image was written.
// - NV restore succeeds unless refused by the fault; restore status reports
//   the module's state (a backup exists: 1, 0) unless forced.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// Faults, each off by default.
struct SimFaults {
  bool m_NoDiscoveryAnswer = false;
  bool m_ZeroMac = false;              // discovery reply with MAC 00-...-00
  bool m_CorruptFcs = false;           // discovery reply with a bad FCS
  int m_RouterResultCode = 4;          // code in the router's result packet
  bool m_NoRouterResult = false;       // never answer a router image
  uint32_t m_ResultDelayMs = 0;        // extra time before the result packet
  int m_HandshakeSilent = 0;           // first N handshakes get no answer
  bool m_StartInDownloader = false;
  bool m_Offline = false;              // offline flag in the handshake reply
  bool m_FailEveryTenthPass = false;   // every tenth upgrade pass fails at a step (sim/PassFaults.h)
  int m_NvBackupReason = 0;            // 1..4: NV backup refused with this reason
  // Restore status reply bytes 5 and 6. Left at 1,0 (and not forced) the
  // module reports its own state: byte 5 = 1 when a backup exists, else 0.
  int m_RestoreStatus5 = 1;            // restore status reply byte 5
  int m_RestoreStatus6 = 0;            // restore status reply byte 6
  bool m_RestoreStatusForced = false;  // report the two bytes above whatever the state
  int m_RestoreRefused = 0;            // NV restore requests refused (reason 4) N times
  int m_UnlockRefused = 0;             // first N unlocks refused (03 reply)
  int m_BlockRefusedAt = 0;            // block number (from 1, over the run) refused...
  int m_BlockRefusedTries = 0;         // ...this many times with a 03 reply
  bool m_ResetRefused = false;
  bool m_StaysInDownloader = false;    // comes back in the downloader after a reset
  uint32_t m_PingSilentMs = 0;         // router silent to pings this long after a restart begins
  bool m_SecondCheckSilent = false;    // after a restart begins, one ping answered, none until the next
  int m_ConnectionResetAtBlock = 0;    // reset the TCP connection at this block write (once)
  bool m_EraseNotAnswered = false;     // erase-NVRAM request not echoed
  bool m_ForceLoadRefused = false;     // enter-forcing-download request not echoed (nothing changes)
};

struct SimOptions {
  std::string m_Interface;             // empty: loopback only
  int m_Port = 1280;
  uint8_t m_Ip[4] = {127, 0, 0, 1};    // the address discovery reports
  uint8_t m_Mac[6] = {0x02, 0x51, 0xE1, 0x00, 0x00, 0x01};
  std::string m_RouterVersion = "1.2.3.4";
  std::string m_FirmwareVersion = "2.1.0.7";
  std::string m_DashboardVersion = "3.0.1.2";  // empty: "no version"
  std::string m_NewFirmwareVersion;            // after a firmware download (empty: unchanged)
  std::string m_NewDashboardVersion;           // after a dashboard download (empty: unchanged)
  uint8_t m_UnlockCode[8];                     // expected unlock code
  uint32_t m_InstallMs = 3000;                 // router image installation time
  uint32_t m_RestartMs = 4000;                 // wireless module silent while restarting
  double m_TimeScale = 1.0;                    // divides every delay
  std::string m_RecordDir;                     // empty: record in memory only
  bool m_Quiet = true;                         // no terminal lines
  SimFaults m_Faults;
  SimOptions();
};

// One request the simulator received and what it did with it.
struct SimEvent {
  std::string m_Channel;   // "udp" or "tcp"
  std::string m_Name;      // discover, erase-nvram, enter-force-load, leave-force-load,
                           // ping, rut-begin, rut-image, fwt-begin, fwt-force, handshake,
                           // board-version, iso-version, nv-backup, nv-restore,
                           // restore-status, change-mode, switch-downloader, unlock,
                           // write, reset, flag, unknown
  bool m_Answered = false;
  std::string m_Detail;    // e.g. "addr=0x00100000 len=4096", "code=4"
};

class GatewaySim {
 public:
  explicit GatewaySim(const SimOptions& options);
  ~GatewaySim();  // stops

  // Binds the UDP and TCP sockets and starts serving. False when a socket
  // cannot be bound (message on stderr).
  bool Start();
  void Stop();

  std::vector<SimEvent> Events() const;
  // Transcript lines, one per request and answer, as written to the terminal.
  std::vector<std::string> Transcript() const;
  // Router images received, in order (the raw bytes after each RUT begin).
  std::vector<std::vector<uint8_t>> RouterImages() const;
  // Wireless memory written by block writes, merged per contiguous run,
  // keyed by start address.
  std::map<uint32_t, std::vector<uint8_t>> WirelessMemory() const;
  int TcpConnectionCount() const;
  bool InDownloader() const;
  bool ForceLoad() const;
  std::string FirmwareVersion() const;
  std::string DashboardVersion() const;
  bool Restarting() const;             // the wireless module is restarting

 private:
  class Impl;
  std::unique_ptr<Impl> m_Impl;
};
