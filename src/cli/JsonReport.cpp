#include "cli/JsonReport.h"

#include "net/AddressText.h"

std::string JsonText(const Json& json) {
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

const char* ColourName(uint32_t colour) {
  switch (colour) {
    case COLOUR_BLUE: return "blue";
    case COLOUR_RED: return "red";
    case COLOUR_GREY_TEXT: return "grey";
    default: return "black";
  }
}

Json RouterJson(const uint8_t mac[6], const uint8_t ip[4]) {
  return Json{{"mac", FormatMac(mac)}, {"address", FormatIp(ip)}};
}

void AddRowHead(Json* object, size_t index, const TerminalRow& row) {
  (*object)["row"] = index;
  (*object)["type"] = row.m_Cells[COL_TYPE];
  (*object)["currentVersion"] = row.m_Cells[COL_CURRENT];
  (*object)["upgradeVersion"] = row.m_Cells[COL_UPGRADE];
}

void AddRowState(Json* object, const TerminalRow& row) {
  (*object)["percent"] = row.m_Cells[COL_PERCENT];
  (*object)["status"] = row.m_Cells[COL_STATUS];
  (*object)["colour"] = ColourName(row.m_Colour);
}

void AddTransfer(Json* object, const TransferMeter& transfer) {
  (*object)["bytesSent"] = transfer.Done();
  (*object)["bytesTotal"] = transfer.Total();
  (*object)["seconds"] = transfer.Seconds();
  (*object)["kbitPerSecond"] = transfer.KbitPerSecond();
}

std::string CheckReportJson(bool succeeded, const uint8_t mac[6], const uint8_t ip[4],
                            const std::vector<TerminalRow>& rows) {
  Json report{{"succeeded", succeeded}, {"router", RouterJson(mac, ip)}, {"rows", Json::array()}};
  for (size_t i = 0; i < rows.size(); ++i) {
    Json row = Json::object();
    AddRowHead(&row, i, rows[i]);
    AddRowState(&row, rows[i]);
    report["rows"].push_back(std::move(row));
  }
  return JsonText(report);
}
