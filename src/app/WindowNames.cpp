#include "app/WindowNames.h"

std::string ComposeWindowTitle(const std::string& product, const std::string& version) {
  std::string title = product;
  if (!version.empty()) title += " - " + version;
  return title + " - Press F1 for Help";
}
