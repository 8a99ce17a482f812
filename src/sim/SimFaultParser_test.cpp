// Fault and option texts of the command line.
#include "sim/SimFaultParser.h"

#include <gtest/gtest.h>

#include "sim/SimOptionText.h"

namespace {

TEST(SimFaultParserTest, EveryFaultNameSetsItsField) {
  SimFaults f;
  std::string error;
  for (const char* text :
       {"no-discovery", "zero-mac", "bad-fcs", "result-code=3", "no-result", "result-delay=500",
        "handshake-silent=2", "start-in-downloader", "offline", "nv-backup-reason=4",
        "restore-status=2,1", "restore-refused=3", "unlock-refused=1", "block-refused=5:3",
        "reset-refused", "stays-in-downloader", "ping-silent=7000", "reset-at-block=9", "erase-silent", "force-refused"})
    EXPECT_TRUE(ApplyFault(text, &f, &error)) << text << ": " << error;
  EXPECT_TRUE(f.m_NoDiscoveryAnswer && f.m_ZeroMac && f.m_CorruptFcs && f.m_NoRouterResult);
  EXPECT_TRUE(f.m_StartInDownloader && f.m_Offline && f.m_ResetRefused && f.m_StaysInDownloader);
  EXPECT_TRUE(f.m_EraseNotAnswered && f.m_RestoreStatusForced && f.m_ForceLoadRefused);
  EXPECT_EQ(f.m_RouterResultCode, 3);
  EXPECT_EQ(f.m_ResultDelayMs, 500u);
  EXPECT_EQ(f.m_HandshakeSilent, 2);
  EXPECT_EQ(f.m_NvBackupReason, 4);
  EXPECT_EQ(f.m_RestoreStatus5, 2);
  EXPECT_EQ(f.m_RestoreStatus6, 1);
  EXPECT_EQ(f.m_RestoreRefused, 3);
  EXPECT_EQ(f.m_UnlockRefused, 1);
  EXPECT_EQ(f.m_BlockRefusedAt, 5);
  EXPECT_EQ(f.m_BlockRefusedTries, 3);
  EXPECT_EQ(f.m_PingSilentMs, 7000u);
  EXPECT_EQ(f.m_ConnectionResetAtBlock, 9);
  const std::string help = FaultHelp();
  EXPECT_NE(help.find("block-refused=N:TRIES"), std::string::npos);
  EXPECT_NE(help.find("erase-silent"), std::string::npos);
}

TEST(SimFaultParserTest, BadTextsAreRefusedWithAReason) {
  SimFaults f;
  std::string error;
  for (const char* text : {"no-such-fault", "result-code", "offline=1", "result-code=x",
                           "restore-status=1", "block-refused=5", "nv-backup-reason=0",
                           "handshake-silent=-1", "ping-silent=1e3"}) {
    error.clear();
    EXPECT_FALSE(ApplyFault(text, &f, &error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

TEST(SimOptionTextTest, MacAndUnlockCode) {
  uint8_t mac[6] = {};
  EXPECT_TRUE(ParseMac("0a-1B-2c-3D-4e-5F", mac));
  EXPECT_EQ(mac[0], 0x0A);
  EXPECT_EQ(mac[5], 0x5F);
  EXPECT_TRUE(ParseMac("00:11:22:33:44:55", mac));
  EXPECT_EQ(mac[5], 0x55);
  EXPECT_FALSE(ParseMac("00-11-22-33-44", mac));
  EXPECT_FALSE(ParseMac("00-11-22-33-44-5G", mac));
  EXPECT_FALSE(ParseMac("00_11_22_33_44_55", mac));

  uint8_t code[8] = {};
  EXPECT_TRUE(ParseUnlockCode("51454C554E4C4B31", code));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(code), 8), "QELUNLK1");
  EXPECT_FALSE(ParseUnlockCode("51454C554E4C4B3", code));
  EXPECT_FALSE(ParseUnlockCode("51454C554E4C4BXY", code));
}

}  // namespace
