#pragma once

#include <filesystem>

namespace pathmere {

// The user's home folder, the one place every default path of the program
// starts from: $HOME when it is an absolute path, else the home directory of
// the user's password entry when that is absolute, else empty (no home is
// known, and nothing should be put anywhere by default).
std::filesystem::path HomeFolder();

}  // namespace pathmere
