// qel-gateway-sim: a gateway to try and test the tool without hardware.
#include <CLI/CLI.hpp>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "log/Notice.h"
#include "net/AddressText.h"
#include "platform/Console.h"
#include "platform/Interfaces.h"
#include "platform/SignalHold.h"
#include "platform/SocketsStartup.h"
#include "sim/GatewaySim.h"
#include "sim/SimFaultParser.h"
#include "sim/SimOptionText.h"

namespace {

const char* const DESCRIPTION =
    "qel-gateway-sim: a gateway (router module and wireless module) to try and test the\n"
    "tool without hardware. It serves the router's UDP command service and TCP upgrade\n"
    "service on one port, and the wireless module behind the router.\n"
    "\n"
    "By default it serves the loopback device only: it receives the discovery broadcast\n"
    "sent to 127.255.255.255, listens on 127.0.0.1, and answers only the peer that spoke\n"
    "to it. Try it with:  qel discover --broadcast 127.255.255.255 --port PORT\n";

const char* const BEHAVIOUR =
    "\nBehaviour:\n"
    "  UDP: discovery (1) answers with address, MAC and version text; erase NVRAM (6),\n"
    "  enter (7) and leave (8) the forcing download mode and ping (10) are echoed.\n"
    "  Entering the forcing download mode restarts the wireless module into its downloader.\n"
    "  TCP: a RUT begin packet switches the stream to raw image bytes for the announced\n"
    "  size, or until it is idle for 1 s; after --install-ms the router sends its result\n"
    "  packet (code 4). FWT begin and force packets are recorded; every other frame goes\n"
    "  to the wireless module (normal mode, or its downloader after a switch or reset\n"
    "  while the forcing flag is set). A restart keeps the module silent for --restart-ms.\n"
    "  After a download and a reset it comes back with the --new-* versions and its\n"
    "  NV backup restored.\n"
    "  --time-scale X divides every delay of the simulator (real time, like the tool's\n"
    "  --time-scale), so both can run accelerated together.\n"
    "  --record DIR writes transcript.txt, router-image-<n>.bin per router image and\n"
    "  wireless-<hexaddr>.bin per contiguous run of written wireless memory.\n"
    "  Ctrl-C or SIGTERM ends it cleanly.\n";

}  // namespace

int main(int argc, char** argv) {
  PrepareConsole();
  std::vector<std::string> arguments = Utf8Arguments(argc, argv);
  std::vector<char*> words;
  for (std::string& argument : arguments) words.push_back(argument.data());
  SimOptions options;
  options.m_Quiet = false;
  std::string mac;
  std::string unlock;
  std::vector<std::string> faults;

  CLI::App app{DESCRIPTION};
  app.set_version_flag("--version", std::string("qel-gateway-sim ") + QEL_VERSION);
  app.add_option("--port", options.m_Port, "UDP and TCP port")->capture_default_str()
      ->check(CLI::Range(1, 65535));
  app.add_option("--interface", options.m_Interface,
                 "serve this interface instead of loopback (only inside a private network "
                 "namespace); discovery reports its IPv4 address");
  app.add_option("--mac", mac, "router MAC address, e.g. 02-51-E1-00-00-01");
  app.add_option("--router-version", options.m_RouterVersion, "router version text")
      ->capture_default_str();
  app.add_option("--firmware-version", options.m_FirmwareVersion, "wireless firmware version")
      ->capture_default_str();
  app.add_option("--dashboard-version", options.m_DashboardVersion,
                 "dashboard version (empty: \"no version\")")->capture_default_str();
  app.add_option("--new-firmware-version", options.m_NewFirmwareVersion,
                 "firmware version after a download (default: unchanged)");
  app.add_option("--new-dashboard-version", options.m_NewDashboardVersion,
                 "dashboard version after a download (default: unchanged)");
  app.add_option("--unlock-code", unlock,
                 "unlock code the downloader expects, 16 hex digits (default: that of "
                 "\"QELUNLK1\", the packages' default)");
  app.add_option("--install-ms", options.m_InstallMs, "router image installation time")
      ->capture_default_str();
  app.add_option("--restart-ms", options.m_RestartMs, "wireless module restart time")
      ->capture_default_str();
  app.add_option("--time-scale", options.m_TimeScale, "divides every delay")
      ->capture_default_str()->check(CLI::PositiveNumber);
  app.add_option("--record", options.m_RecordDir, "write recordings into this directory");
  app.add_flag("--quiet", options.m_Quiet, "no line per request and answer");
  app.add_option("--fault", faults, "a fault, NAME or NAME=VALUE; repeatable (list below)");
  app.footer(std::string(BEHAVIOUR) + "\n" + FaultHelp());
  CLI11_PARSE(app, static_cast<int>(words.size()), words.data());

  if (!mac.empty() && !ParseMac(mac, options.m_Mac)) {
    std::fprintf(stderr, "qel-gateway-sim: --mac: not a MAC address: %s\n", mac.c_str());
    return 2;
  }
  if (!unlock.empty() && !ParseUnlockCode(unlock, options.m_UnlockCode)) {
    std::fprintf(stderr, "qel-gateway-sim: --unlock-code: want 16 hex digits: %s\n", unlock.c_str());
    return 2;
  }
  for (const std::string& fault : faults) {
    std::string error;
    if (!ApplyFault(fault, &options.m_Faults, &error)) {
      std::fprintf(stderr, "qel-gateway-sim: --fault %s: %s\n", fault.c_str(), error.c_str());
      return 2;
    }
  }

  if (!options.m_Interface.empty() && !CanTieSocketsToInterfaces()) {
    std::fprintf(stderr, "qel-gateway-sim: --interface: serving one interface needs Linux; here the simulator "
                         "serves loopback only\n");
    return 2;
  }
  std::string warning;
  if (!StartSockets(&warning)) {
    ProcessNotices().ShowWarning(warning);
    return 1;
  }

  // The serving thread holds the stop requests too; this thread takes them.
  SignalHold hold;
  GatewaySim sim(options);
  if (!sim.Start()) return 1;
  std::printf("qel-gateway-sim: serving %s, UDP and TCP port %d, router MAC %s\n",
              options.m_Interface.empty() ? "loopback" : options.m_Interface.c_str(),
              options.m_Port, FormatMac(options.m_Mac).c_str());
  std::fflush(stdout);
  std::atomic<bool> stop{false};
  hold.Run([&] { while (!stop) std::this_thread::sleep_for(std::chrono::milliseconds(20)); },
           [&](int) { stop = true; });
  sim.Stop();
  std::printf("qel-gateway-sim: stopped\n");
  return 0;
}
