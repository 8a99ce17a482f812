// The user's home folder: $HOME when it is an absolute path, else the
// password database's; "" when neither has one.
#pragma once

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

inline std::string HomeDirectory() {
  const char* home = getenv("HOME");
  if (home && *home == '/') return home;
  const passwd* entry = getpwuid(getuid());
  return entry && entry->pw_dir ? entry->pw_dir : "";
}
