#include "cli/JsonReport.h"

#include <cstdio>

#include "net/AddressText.h"

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char escaped[8];
          snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += ch;  // UTF-8 passes through as it is
        }
    }
  }
  return out + "\"";
}

const char* ColourName(uint32_t colour) {
  switch (colour) {
    case COLOUR_BLUE: return "blue";
    case COLOUR_RED: return "red";
    case COLOUR_GREY_TEXT: return "grey";
    default: return "black";
  }
}

std::string RouterJson(const uint8_t mac[6], const uint8_t ip[4]) {
  return ",\"router\":{\"mac\":" + JsonString(FormatMac(mac)) + ",\"address\":" + JsonString(FormatIp(ip)) + "}";
}

std::string RowHeadJson(size_t index, const TerminalRow& row) {
  return "{\"row\":" + std::to_string(index) + ",\"type\":" + JsonString(row.m_Cells[COL_TYPE]) +
         ",\"currentVersion\":" + JsonString(row.m_Cells[COL_CURRENT]) +
         ",\"upgradeVersion\":" + JsonString(row.m_Cells[COL_UPGRADE]);
}

std::string RowStateJson(const TerminalRow& row) {
  return ",\"percent\":" + JsonString(row.m_Cells[COL_PERCENT]) + ",\"status\":" +
         JsonString(row.m_Cells[COL_STATUS]) + ",\"colour\":" + JsonString(ColourName(row.m_Colour));
}

std::string CheckReportJson(bool succeeded, const uint8_t mac[6], const uint8_t ip[4],
                            const std::vector<TerminalRow>& rows) {
  std::string json = "{\"succeeded\":";
  json += succeeded ? "true" : "false";
  json += RouterJson(mac, ip) + ",\"rows\":[";
  for (size_t i = 0; i < rows.size(); ++i) {
    if (i) json += ",";
    json += RowHeadJson(i, rows[i]) + RowStateJson(rows[i]) + "}";
  }
  return json + "]}";
}
