// The version rules on any two texts: a text always fits itself, and a text
// that cannot be read never blocks the upgrade.
#include <cstdlib>
#include <string>

#include "FuzzInput.h"
#include "model/VersionText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const Bytes a = in.Take(in.Byte()), b = in.Rest();
  const std::string current(a.begin(), a.end()), upgrade(b.begin(), b.end());
  const int match = VersionMatch(current, upgrade);
  if (match != 0 && match != 1) abort();
  if (VersionMatch(current, current) != 1 || VersionMatch(upgrade, upgrade) != 1) abort();
  if ((!IsValidVersionText(current) || !IsValidVersionText(upgrade)) && match != 1) abort();
  return 0;
}
