#include "cli/JsonReport.h"

#include <gtest/gtest.h>

namespace {

TEST(JsonReportTest, StringsAreEscaped) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "\"\""},
      {"a\"b\\c/'", "\"a\\\"b\\\\c/'\""},
      {"\r\n\t\b\f", "\"\\r\\n\\t\\b\\f\""},
      {std::string("\x01\x1f\x7f\0 ", 5), "\"\\u0001\\u001f\\u007f\\u0000 \""},
      {"没有检测到路由器", "\"没有检测到路由器\""}};
  for (const auto& [text, json] : cases) EXPECT_EQ(JsonString(text), json);
}

TEST(JsonReportTest, OneObjectWithOutcomeRouterAndRows) {
  const uint8_t mac[6] = {0x02, 0x51, 0xE1, 0x00, 0xAB, 0x0F};
  const uint8_t ip[4] = {192, 168, 1, 1};
  const std::string head = "\"router\":{\"mac\":\"02-51-E1-00-AB-0F\",\"address\":\"192.168.1.1\"},\"rows\":[";
  EXPECT_EQ(CheckReportJson(false, mac, ip, {}), "{\"succeeded\":false," + head + "]}");
  std::vector<TerminalRow> rows(2);
  rows[0].m_Cells[COL_TYPE] = "BOOT";
  rows[0].m_Cells[COL_CURRENT] = "1.2.3.4";
  rows[0].m_Cells[COL_UPGRADE] = "1.3.0.0";
  rows[0].m_Cells[COL_STATUS] = "Version does not match";
  rows[0].m_Colour = COLOUR_RED;
  rows[1].m_Cells[COL_TYPE] = "APP \"x\"";
  rows[1].m_Cells[COL_PERCENT] = "45%";
  EXPECT_EQ(CheckReportJson(true, mac, ip, rows),
            "{\"succeeded\":true," + head +
                "{\"row\":0,\"type\":\"BOOT\",\"currentVersion\":\"1.2.3.4\",\"upgradeVersion\":\"1.3.0.0\","
                "\"percent\":\"\",\"status\":\"Version does not match\",\"colour\":\"red\"},"
                "{\"row\":1,\"type\":\"APP \\\"x\\\"\",\"currentVersion\":\"\",\"upgradeVersion\":\"\","
                "\"percent\":\"45%\",\"status\":\"\",\"colour\":\"black\"}]}");
}

}  // namespace
