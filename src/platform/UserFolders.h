// Where the program and its user keep things, as the system tells it. Paths
// are UTF-8, folders without a closing separator unless said otherwise.
#pragma once

#include <string>
#include <vector>

// The folder of the running executable, with its closing separator.
std::string ExecutableDirectory();
// The running program's name, without folder or ".exe".
std::string ProgramName();
// The folder for the user's own data files: $XDG_DATA_HOME, else
// ~/.local/share (LOCALAPPDATA on Windows).
std::string UserDataDirectory();
// Whether the two paths name the same folder (links followed).
bool SameDirectory(const std::string& a, const std::string& b);
// Makes the folder and those above it that are missing.
void MakeDirectories(const std::string& path);
// The names (not paths) of the entries of a folder, in the system's order;
// none when it cannot be read.
std::vector<std::string> ListDirectory(const std::string& path);
// path made absolute and normal, as UTF-8 with '/' between its parts where
// the system allows it.
std::string AbsolutePath(const std::string& path);
// path as the system's own programs show it to the user: with '\' between
// its parts on Windows, as it is elsewhere.
std::string ShownPath(const std::string& path);
