#include "cli/JsonReport.h"

#include <cstdio>

#include "router/RouterUdpClient.h"

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

std::string CheckReportJson(bool succeeded, const uint8_t mac[6], const uint8_t ip[4],
                            const std::vector<TerminalRow>& rows) {
  std::string json = "{\"succeeded\":";
  json += succeeded ? "true" : "false";
  json += ",\"router\":{\"mac\":" + JsonString(FormatMac(mac)) + ",\"address\":" + JsonString(FormatIp(ip)) + "}";
  json += ",\"rows\":[";
  for (size_t i = 0; i < rows.size(); ++i) {
    const TerminalRow& row = rows[i];
    if (i) json += ",";
    json += "{\"row\":" + std::to_string(i);
    json += ",\"type\":" + JsonString(row.m_Cells[COL_TYPE]);
    json += ",\"currentVersion\":" + JsonString(row.m_Cells[COL_CURRENT]);
    json += ",\"upgradeVersion\":" + JsonString(row.m_Cells[COL_UPGRADE]);
    json += ",\"percent\":" + JsonString(row.m_Cells[COL_PERCENT]);
    json += ",\"status\":" + JsonString(row.m_Cells[COL_STATUS]);
    json += ",\"colour\":" + JsonString(ColourName(row.m_Colour)) + "}";
  }
  return json + "]}";
}
