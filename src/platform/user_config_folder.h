#pragma once

#include <filesystem>

namespace pathmere {

// The per-user folder of the maker's programs: $XDG_CONFIG_HOME/Brenix, else
// ~/.config/Brenix. The settings file and the ports folder live in it. Empty
// when neither XDG_CONFIG_HOME nor a home folder is known.
std::filesystem::path BrenixConfigFolder();

}  // namespace pathmere
