// Fault and option texts of the command line: the values they carry and the
// texts refused. What each fault does is seen on the wire in the other tests.
#include "sim/SimFaultParser.h"

#include <gtest/gtest.h>

#include "sim/SimOptionText.h"

TEST(SimFaultParserTest, ValuesAndBadTexts) {
  SimFaults f;
  std::string error;
  for (const char* text : {"result-delay=500", "restore-status=2,1", "block-refused=5:3", "nv-backup-reason=4"})
    EXPECT_TRUE(ApplyFault(text, &f, &error)) << text << ": " << error;
  EXPECT_EQ(f.m_ResultDelayMs, 500u);
  EXPECT_TRUE(f.m_RestoreStatusForced);
  EXPECT_EQ(std::make_pair(f.m_RestoreStatus5, f.m_RestoreStatus6), std::make_pair(2, 1));
  EXPECT_EQ(std::make_pair(f.m_BlockRefusedAt, f.m_BlockRefusedTries), std::make_pair(5, 3));
  EXPECT_EQ(f.m_NvBackupReason, 4);
  for (const char* text : {"no-such-fault", "result-code", "offline=1", "result-code=x", "restore-status=1",
                           "block-refused=5", "nv-backup-reason=0", "handshake-silent=-1", "ping-silent=1e3"}) {
    error.clear();
    EXPECT_FALSE(ApplyFault(text, &f, &error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

TEST(SimOptionTextTest, MacAndUnlockCode) {
  uint8_t mac[6] = {}, code[8] = {};
  EXPECT_TRUE(ParseMac("0a-1B-2c-3D-4e-5F", mac));
  EXPECT_EQ(std::vector<uint8_t>(mac, mac + 6), std::vector<uint8_t>({0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F}));
  EXPECT_TRUE(ParseMac("00:11:22:33:44:55", mac));
  for (const char* bad : {"00-11-22-33-44", "00-11-22-33-44-5G", "00_11_22_33_44_55"}) EXPECT_FALSE(ParseMac(bad, mac)) << bad;
  EXPECT_TRUE(ParseUnlockCode("51454C554E4C4B31", code));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(code), 8), "QELUNLK1");
  for (const char* bad : {"51454C554E4C4B3", "51454C554E4C4BXY"}) EXPECT_FALSE(ParseUnlockCode(bad, code)) << bad;
}
