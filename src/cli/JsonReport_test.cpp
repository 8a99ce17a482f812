#include "cli/JsonReport.h"

#include <gtest/gtest.h>

#include "cli/UpgradeReport.h"

// Whatever bytes a gateway puts into a version text, both reports stay
// valid JSON: control bytes escaped, bytes that are not UTF-8 replaced.
TEST(JsonReportTest, ReportsAreValidJsonForAnyCellBytes) {
  const uint8_t mac[6] = {0x02, 0x51, 0xE1, 0x00, 0xAB, 0x0F}, ip[4] = {192, 168, 1, 1};
  const std::string control("1.2\x01\x1f\x7f\0\r\n", 10), R = "\xEF\xBF\xBD";  // R: U+FFFD
  UpgradeOutcome outcome{.m_CheckSucceeded = true, .m_UpgradeRan = true, .m_Selected = {false, true}};
  outcome.m_Rows = {{{"APP \"x\"\\", control, "\xff\xfe\xc3(\xe2\x82", "", "没有检测到路由器"}, COLOUR_RED},
                    {{"", "", "", "45%", ""}}};
  const Json check = Json::parse(CheckReportJson(true, mac, ip, outcome.m_Rows));
  const Json upgrade = Json::parse(UpgradeReportJson(outcome, mac, ip));
  for (const Json* report : {&check, &upgrade}) {
    EXPECT_EQ((*report)["router"], (Json{{"mac", "02-51-E1-00-AB-0F"}, {"address", "192.168.1.1"}}));
    const Json& row = (*report)["rows"][0];
    EXPECT_EQ(std::tuple(row["type"], row["currentVersion"], row["upgradeVersion"], row["status"], row["colour"]),
              std::tuple("APP \"x\"\\", control, R + R + R + "(" + R, "没有检测到路由器", "red"));
    EXPECT_EQ((*report)["rows"][1]["percent"], "45%");
  }
  EXPECT_EQ(check.dump(),
            "{\"succeeded\":true,\"router\":" + check["router"].dump() + ",\"rows\":" + check["rows"].dump() + "}");
  EXPECT_EQ(upgrade["rows"][1].dump(),
            "{\"row\":1,\"type\":\"\",\"currentVersion\":\"\",\"upgradeVersion\":\"\",\"selected\":true,"
            "\"percent\":\"45%\",\"status\":\"\",\"colour\":\"black\",\"result\":\"failed\"}");
  EXPECT_EQ(std::pair(upgrade["rows"][0]["result"], upgrade["succeeded"]), std::pair(Json("skipped"), Json(false)));
  // Nothing selected and no row failed: success only when the Check succeeded and the upgrade ran.
  for (const auto& [checked, ran] : {std::pair{true, false}, {false, true}, {true, true}}) {
    UpgradeOutcome bare;
    bare.m_CheckSucceeded = checked, bare.m_UpgradeRan = ran;
    EXPECT_EQ(UpgradeSucceeded(bare), checked && ran);
  }
}
