// The version information of the program itself, as the build stamped it.
#pragma once

#include <string>

class CModuleVersion {
 public:
  // True when the program carries version information.
  bool GetModuleVersionInfo();
  // "ProductVersion" or "FileVersion"; empty for any other name, or when
  // nothing was loaded.
  std::string GetValue(const std::string& name) const;

 private:
  std::string m_Version;
};

// "QEL Upgrade - <version> - Press F1 for Help" (without the version part
// when the program carries none).
std::string WindowTitle();
