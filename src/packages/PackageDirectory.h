// Where the packages are looked for when the user names no folder. A copy
// run from its own folder keeps them beside its executable. An installed
// copy cannot expect the user to write into the system's program folder, so
// it keeps them in the user's data folder instead.
#pragma once

#include <string>

// The user's package folder: $XDG_DATA_HOME/QelUpgrade/packages/, by
// default ~/.local/share/QelUpgrade/packages/.
std::string UserPackageDirectory();

// The folder to scan: dirOption when given; else, when exeDir is
// installBinDir (both resolved through symbolic links), the user's package
// folder, created when missing; else exeDir.
std::string ChoosePackageDirectory(const std::string& dirOption, const std::string& exeDir,
                                   const std::string& installBinDir);

// ChoosePackageDirectory for the running executable and the bindir the
// program was built to be installed in.
std::string PackageDirectory(const std::string& dirOption);
