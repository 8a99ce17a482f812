// The program's string table: status texts, result texts, headers and type
// names, by the ids the rows and the result codes use.
#include "engine/UpgradeEngine.h"

namespace {

struct StringEntry {
  int m_Id;
  const char* m_Text;
};

const StringEntry kStrings[] = {
    {102, "Restarting the wireless module"},
    {103, "Download successfully"},
    {105, "Accessing the offline mode"},
    {106, "Switching to the downloading mode"},
    {107, "Backing up the NV"},
    {109, "Check the status of automatically restoring the NV"},
    {110, "Unlocking the wireless module"},
    {111, "Erasing the NVRAM of the router module"},
    {112, "Waiting for the upgrade of the router module"},
    {113, "Preparing for the upgrade of the wireless module"},
    {114, "Downloading the firmware of the wireless module"},
    {115, "Downloading the dashboard of the wireless module"},
    {116, "Transmitting the upgrade data of the router module"},
    {119, "Creating the TCP connection failed"},
    {120, "Failed to send the command of starting the upgrade"},
    {121, "Failed to transmit upgrading data of router module"},
    {122, "Upgrading result of the router module is fail"},
    {123, "Returning the upgrading result of the router module timed out"},
    {124, "Handshake failed"},
    {125, "Backing up the NV file failed"},
    {126, "Failed to check the version after the upgrade."},
    {127, "Switching to the downloading mode failed"},
    {128, "Unlocking the wireless module failed"},
    {129, "Download failed"},
    {130, "Restarting the wireless module failed"},
    {131, "Restarting the wireless module timed out"},
    {132, "Failed to check the status of automatically restoring the NV"},
    {134, "Two or more .bin files with the same type exist"},
    {135, "No valid .bin file is found in the current directory"},
    {136, "Help.chm is not exist in the current directory!"},
    {137, "No router is detected"},
    {138, "The version of the WinSock error!\n\nExpected: 2.2. Actual: %d.%d\n"},
    {139, "&Upgrade"},
    {140, "The upgrade is in process. Please wait!"},
    {141, "Type"},
    {143, "Current Version"},
    {144, "Upgrade Version"},
    {145, "Status"},
    {146, "%"},
    {147, "BOOT of router module"},
    {148, "APP of router module"},
    {149, "Customization of router module"},
    {150, "Firmware of wireless module"},
    {151, "Dashboard of wireless module"},
    {153, "Version does not match"},
    {155, "Waiting for the upgrade"},
    {156, "Are you sure?"},
    {157, "&Check"},
    {158, "Not found"},
};

}  // namespace

const char* LoadStringId(int id) {
  for (const StringEntry& entry : kStrings) {
    if (entry.m_Id == id) return entry.m_Text;
  }
  return "";
}
