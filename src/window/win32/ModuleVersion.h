// The version resource of the program's own executable, and the window's
// title made from it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CModuleVersion {
 public:
  // Reads the version information of <program name>.exe; true when it
  // carries a valid fixed version record.
  bool GetModuleVersionInfo();
  // A string of the first translation ("ProductVersion", ...); empty when
  // missing or nothing was loaded.
  std::string GetValue(const std::string& name) const;

 private:
  std::vector<uint8_t> m_Info;
  WORD m_Language = 0;
  WORD m_CodePage = 1252;
};

// The "STRING" resource 150 (the product name), " - " and the
// ProductVersion when there is one, " - Press F1 for Help".
std::string WindowTitle();
