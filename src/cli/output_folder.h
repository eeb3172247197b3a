#pragma once

#include <string>

namespace pathmere {

// Makes sure the folder given with --output exists, creating missing parents
// as a user would expect of a command-line tool. On failure says why on
// standard error and returns false. `absolute`, where given, gets the folder
// as an absolute path: a relative one is taken from the working directory
// now, so what the logger writes, reports and hands `summary` stays the
// same folder wherever they are asked from.
bool PrepareOutputFolder(const char* path, std::string* absolute = nullptr);

}  // namespace pathmere
