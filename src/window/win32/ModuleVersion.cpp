#include "window/win32/ModuleVersion.h"

#include <cstdio>

#include "app/WindowNames.h"
#include "platform/UserFolders.h"
#include "platform/win32/WideText.h"
#include "window/win32/resource.h"

bool CModuleVersion::GetModuleVersionInfo() {
  const HMODULE module = GetModuleHandleW(WideFromUtf8(ProgramName() + ".exe").c_str());
  wchar_t path[MAX_PATH] = {};
  if (!module || GetModuleFileNameW(module, path, MAX_PATH) == 0) return false;
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(path, &handle);
  m_Info.assign(size, 0);
  if (size == 0 || !GetFileVersionInfoW(path, 0, size, m_Info.data())) return false;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(m_Info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed) return false;
  const WORD* translation = nullptr;
  if (VerQueryValueW(m_Info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(const_cast<WORD**>(&translation)),
                     &length) && length >= 4) {
    m_Language = translation[0];
    m_CodePage = translation[1];
  }
  return fixed->dwSignature == 0xFEEF04BD;
}

std::string CModuleVersion::GetValue(const std::string& name) const {
  if (m_Info.empty()) return std::string();
  wchar_t query[128];
  swprintf(query, 128, L"\\StringFileInfo\\%04x%04x\\%ls", m_Language, m_CodePage, WideFromUtf8(name).c_str());
  wchar_t* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(m_Info.data(), query, reinterpret_cast<void**>(&value), &length) || !value || length == 0)
    return std::string();
  return Utf8FromWide(value, wcsnlen(value, length));
}

std::string WindowTitle() {
  std::string product;
  const HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(IDR_TITLE), L"STRING");
  const HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
  if (const char* text = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr) {
    product.assign(text, SizeofResource(nullptr, found));
    while (!product.empty() && product.back() == '\0') product.pop_back();
  }
  CModuleVersion version;
  return ComposeWindowTitle(product, version.GetModuleVersionInfo() ? version.GetValue("ProductVersion") : "");
}
