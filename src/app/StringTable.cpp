// The program's string table.
#include "app/StringIds.h"

#include "packages/UpgradePackage.h"

namespace {

struct StringEntry {
  StringId m_Id;
  const char* m_Text;
};

const StringEntry kStrings[] = {
    {IDS_RESTARTING, "Restarting the wireless module"},
    {IDS_DOWNLOAD_OK, "Download successfully"},
    {IDS_OFFLINE_MODE, "Accessing the offline mode"},
    {IDS_SWITCHING, "Switching to the downloading mode"},
    {IDS_BACKING_UP_NV, "Backing up the NV"},
    {IDS_CHECK_NV_RESTORE, "Check the status of automatically restoring the NV"},
    {IDS_UNLOCKING, "Unlocking the wireless module"},
    {IDS_ERASING_NVRAM, "Erasing the NVRAM of the router module"},
    {IDS_WAITING_ROUTER, "Waiting for the upgrade of the router module"},
    {IDS_PREPARING_WIRELESS, "Preparing for the upgrade of the wireless module"},
    {IDS_DOWNLOADING_FIRMWARE, "Downloading the firmware of the wireless module"},
    {IDS_DOWNLOADING_DASHBOARD, "Downloading the dashboard of the wireless module"},
    {IDS_TRANSMITTING_ROUTER, "Transmitting the upgrade data of the router module"},
    {IDS_TCP_FAILED, "Creating the TCP connection failed"},
    {IDS_BEGIN_FAILED, "Failed to send the command of starting the upgrade"},
    {IDS_TRANSMIT_FAILED, "Failed to transmit upgrading data of router module"},
    {IDS_ROUTER_RESULT_FAIL, "Upgrading result of the router module is fail"},
    {IDS_ROUTER_RESULT_TIMEOUT, "Returning the upgrading result of the router module timed out"},
    {IDS_HANDSHAKE_FAILED, "Handshake failed"},
    {IDS_BACKUP_NV_FAILED, "Backing up the NV file failed"},
    {IDS_VERSION_CHECK_FAILED, "Failed to check the version after the upgrade."},
    {IDS_SWITCH_FAILED, "Switching to the downloading mode failed"},
    {IDS_UNLOCK_FAILED, "Unlocking the wireless module failed"},
    {IDS_DOWNLOAD_FAILED, "Download failed"},
    {IDS_RESTART_FAILED, "Restarting the wireless module failed"},
    {IDS_RESTART_TIMEOUT, "Restarting the wireless module timed out"},
    {IDS_NV_RESTORE_FAILED, "Failed to check the status of automatically restoring the NV"},
    {IDS_DUPLICATE_PACKAGES, "Two or more .bin files with the same type exist"},
    {IDS_NO_PACKAGE, "No valid .bin file is found in the current directory"},
    {IDS_HELP_MISSING, "Help.chm is not exist in the current directory!"},
    {IDS_NO_ROUTER, "No router is detected"},
    {IDS_SOCKETS_VERSION, "The version of the WinSock error!\n\nExpected: 2.2. Actual: %d.%d\n"},
    {IDS_UPGRADE_BUTTON, "&Upgrade"},
    {IDS_UPGRADE_IN_PROCESS, "The upgrade is in process. Please wait!"},
    {IDS_HEADER_TYPE, "Type"},
    {IDS_HEADER_CURRENT_VERSION, "Current Version"},
    {IDS_HEADER_UPGRADE_VERSION, "Upgrade Version"},
    {IDS_HEADER_STATUS, "Status"},
    {IDS_HEADER_PERCENT, "%"},
    {IDS_TYPE_BOOT, "BOOT of router module"},
    {IDS_TYPE_APP, "APP of router module"},
    {IDS_TYPE_CUSTOMIZATION, "Customization of router module"},
    {IDS_TYPE_FIRMWARE, "Firmware of wireless module"},
    {IDS_TYPE_DASHBOARD, "Dashboard of wireless module"},
    {IDS_VERSION_MISMATCH, "Version does not match"},
    {IDS_WAITING_UPGRADE, "Waiting for the upgrade"},
    {IDS_CONFIRM_CLOSE, "Are you sure?"},
    {IDS_CHECK_BUTTON, "&Check"},
    {IDS_NOT_FOUND, "Not found"},
};

}  // namespace

const char* LoadStringId(int id) {
  // A build's own texts, among its embedded data, come first.
  if (const uint8_t* text = LoadResourceData(static_cast<uint32_t>(id), STRING_TABLE_TYPE, nullptr))
    return reinterpret_cast<const char*>(text);
  for (const StringEntry& entry : kStrings) {
    if (entry.m_Id == id) return entry.m_Text;
  }
  return "";
}
