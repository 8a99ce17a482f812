#include "cli/JsonReport.h"

#include <gtest/gtest.h>

namespace {

TEST(JsonReportTest, StringsAreEscaped) {
  EXPECT_EQ(JsonString(""), "\"\"");
  EXPECT_EQ(JsonString("Can't read in force-load mode"), "\"Can't read in force-load mode\"");
  EXPECT_EQ(JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(JsonString("line\r\n\ttab"), "\"line\\r\\n\\ttab\"");
  EXPECT_EQ(JsonString(std::string("\x01\x1f\x7f", 3)), "\"\\u0001\\u001f\\u007f\"");
  EXPECT_EQ(JsonString(std::string("a\0b", 3)), "\"a\\u0000b\"");
  EXPECT_EQ(JsonString("没有检测到路由器"), "\"没有检测到路由器\"");
}

TEST(JsonReportTest, ColourNames) {
  EXPECT_STREQ(ColourName(COLOUR_BLUE), "blue");
  EXPECT_STREQ(ColourName(COLOUR_RED), "red");
  EXPECT_STREQ(ColourName(COLOUR_GREY_TEXT), "grey");
  EXPECT_STREQ(ColourName(COLOUR_BLACK), "black");
}

TEST(JsonReportTest, OneObjectWithOutcomeRouterAndRows) {
  const uint8_t mac[6] = {0x02, 0x51, 0xE1, 0x00, 0xAB, 0x0F};
  const uint8_t ip[4] = {192, 168, 1, 1};
  EXPECT_EQ(CheckReportJson(false, mac, ip, {}),
            "{\"succeeded\":false,\"router\":{\"mac\":\"02-51-E1-00-AB-0F\",\"address\":\"192.168.1.1\"},\"rows\":[]}");
  std::vector<TerminalRow> rows(2);
  rows[0].m_Cells[COL_TYPE] = "BOOT of router module";
  rows[0].m_Cells[COL_CURRENT] = "1.2.3.4";
  rows[0].m_Cells[COL_UPGRADE] = "1.3.0.0";
  rows[0].m_Cells[COL_STATUS] = "Version does not match";
  rows[0].m_Colour = COLOUR_RED;
  rows[1].m_Cells[COL_TYPE] = "APP \"x\"";
  rows[1].m_Cells[COL_PERCENT] = "45%";
  EXPECT_EQ(CheckReportJson(true, mac, ip, rows),
            "{\"succeeded\":true,\"router\":{\"mac\":\"02-51-E1-00-AB-0F\",\"address\":\"192.168.1.1\"},\"rows\":["
            "{\"row\":0,\"type\":\"BOOT of router module\",\"currentVersion\":\"1.2.3.4\",\"upgradeVersion\":"
            "\"1.3.0.0\",\"percent\":\"\",\"status\":\"Version does not match\",\"colour\":\"red\"},"
            "{\"row\":1,\"type\":\"APP \\\"x\\\"\",\"currentVersion\":\"\",\"upgradeVersion\":\"\",\"percent\":"
            "\"45%\",\"status\":\"\",\"colour\":\"black\"}]}");
}

}  // namespace
