#include "diag/ImageDownload.h"

#include <algorithm>

#include "framing/Hdlc.h"

bool DownloadUnits(CDiagCaller& caller, const UpgradePackage& package, IStageView& view, UpgradeLog& log) {
  const uint64_t total = package.TotalDataLength();
  uint64_t done = 0;
  view.StartTransfer(total);
  for (size_t unit = 0; unit < package.UnitCount(); ++unit) {
    const uint8_t* data = package.UnitData(unit);
    uint32_t remaining = package.Extent(unit).m_Length;
    uint32_t address = package.Unit(unit).LoadAddress();
    const uint32_t blocks = (remaining + WRITE_BLOCK_SIZE - 1) / WRITE_BLOCK_SIZE;
    for (uint32_t block = 1; block <= blocks; ++block) {
      const uint32_t n = std::min(remaining, WRITE_BLOCK_SIZE);
      if (!caller.DIAG_Write(address, data, n)) {
        LogPrintf(&log, "Unit%d Block%d: Download Fail", static_cast<int>(unit + 1), static_cast<int>(block));
        return false;
      }
      done += n;
      address += n;
      data += n;
      remaining -= n;
      view.ShowTransfer(done, total);
    }
  }
  return true;
}
