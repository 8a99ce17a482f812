// Every diagnostic command with fuzzed replies: the first byte picks the
// command, each record answers one request in turn (kind bit 0: raw bytes
// on the stream instead of a frame), and requests beyond the records go
// unanswered. The clock runs so fast that every time-out passes at once.
#include <sys/prctl.h>

#include <string>

#include "FuzzInput.h"
#include "diag/DiagCaller.h"
#include "log/UpgradeLog.h"
#include "net/Clock.h"
#include "net/PortChannel.h"
#include "packages/PackageBuilder.h"
#include "support/ScriptedPort.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Clock::SetScale(1e9);
  prctl(PR_SET_TIMERSLACK, 1);  // the near-zero pauses cost no timer slack
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const uint8_t command = in.Byte();
  testsupport::ScriptedLink link;
  link.SetScript([&](const testsupport::Message&) {
    if (in.Empty()) return;
    const auto [kind, bytes] = in.Record();
    kind & 1 ? link.AnswerRaw(bytes) : link.Answer(bytes);
  });
  PortChannel channel(link.Maker());
  channel.Open("127.0.0.1", 1280, PORT_TCP);
  UpgradeLog log("");
  CDiagCaller caller(channel, log);
  std::string text;
  int inDownloader = 0, offline = 0;
  switch (command % 9) {
    case 0: caller.DIAG_HandShake(command & 0x10, &inDownloader, &offline); break;
    case 1: caller.DIAG_QueryBoardVersion(&text); break;
    case 2: caller.DIAG_QueryISOVersion(&text); break;
    case 3: caller.DIAG_SwitchToDownloader(); break;
    case 4: caller.DIAG_NV_BackupRestore(command & 0x10); break;
    case 5: caller.DIAG_NV_QueryRestoreStatus(); break;
    case 6: caller.DIAG_ChangeMode(command >> 4); break;
    case 7: caller.DIAG_Unlock(DEFAULT_UNLOCK_CODE); break;
    default: caller.DIAG_Reset(); break;
  }
  return 0;
}
