#include "cli/JsonReport.h"

#include <gtest/gtest.h>

#include "cli/UpgradeReport.h"

namespace {

// Whatever bytes a gateway puts into a version text, both reports stay
// valid JSON: control bytes escaped, bytes that are not UTF-8 replaced.
TEST(JsonReportTest, ReportsAreValidJsonForAnyCellBytes) {
  const uint8_t mac[6] = {0x02, 0x51, 0xE1, 0x00, 0xAB, 0x0F}, ip[4] = {192, 168, 1, 1};
  std::vector<TerminalRow> rows(2);
  rows[0].m_Cells[COL_TYPE] = "APP \"x\"\\";
  rows[0].m_Cells[COL_CURRENT] = std::string("1.2\x01\x1f\x7f\0\r\n", 10);
  rows[0].m_Cells[COL_UPGRADE] = "\xff\xfe\xc3(\xe2\x82";  // not UTF-8
  rows[0].m_Cells[COL_STATUS] = "没有检测到路由器";
  rows[0].m_Colour = COLOUR_RED;
  rows[1].m_Cells[COL_PERCENT] = "45%";
  UpgradeOutcome outcome;
  outcome.m_CheckSucceeded = outcome.m_UpgradeRan = outcome.m_Selected[1] = true;
  outcome.m_Rows = rows;
  const Json check = Json::parse(CheckReportJson(true, mac, ip, rows));
  const Json upgrade = Json::parse(UpgradeReportJson(outcome, mac, ip));
  for (const Json* report : {&check, &upgrade}) {
    EXPECT_EQ((*report)["router"], (Json{{"mac", "02-51-E1-00-AB-0F"}, {"address", "192.168.1.1"}}));
    const Json& row = (*report)["rows"][0];
    EXPECT_EQ(row["type"], "APP \"x\"\\");
    EXPECT_EQ(row["currentVersion"], std::string("1.2\x01\x1f\x7f\0\r\n", 10));
    EXPECT_EQ(row["upgradeVersion"], "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD(\xEF\xBF\xBD");
    EXPECT_EQ(row["status"], "没有检测到路由器");
    EXPECT_EQ(row["colour"], "red");
    EXPECT_EQ((*report)["rows"][1]["percent"], "45%");
  }
  EXPECT_EQ(check.dump(), "{\"succeeded\":true,\"router\":" + check["router"].dump() + ",\"rows\":" + check["rows"].dump() + "}");
  EXPECT_EQ(upgrade["rows"][1].dump(),
            "{\"row\":1,\"type\":\"\",\"currentVersion\":\"\",\"upgradeVersion\":\"\",\"selected\":true,"
            "\"percent\":\"45%\",\"status\":\"\",\"colour\":\"black\",\"result\":\"failed\"}");
  EXPECT_EQ(upgrade["rows"][0]["result"], "skipped");
  EXPECT_FALSE(upgrade["succeeded"]);
}

}  // namespace
