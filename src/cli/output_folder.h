#pragma once

namespace pathmere {

// Makes sure the folder given with --output exists, creating missing parents
// as a user would expect of a command-line tool. On failure says why on
// standard error and returns false.
bool PrepareOutputFolder(const char* path);

}  // namespace pathmere
