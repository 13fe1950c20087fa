#pragma once
// Where the program finds its data file: beside itself (a build tree, or a copy
// in one folder), else in the data folder of an installation (<prefix>/share/zt580).
#include <string>

#include "platform/RunFiles.h"

inline constexpr const char* kDataFileName = "zt580.dat";

// The folder (with a trailing '/') that holds the data file; programDirectory when
// neither holds it (the loader then reports the missing file).
std::string FindDataDirectory(const std::string& programDirectory);

// Whether the file exists and is longer than 0 bytes.
bool FileHasContent(const std::string& path);

// The files of a run with that configuration file (may be empty): it, the
// settings files, the model descriptions wherever the program looks for them, and
// the program itself.
platform::RunFiles RunFilesOf(const std::string& configurationFile);
