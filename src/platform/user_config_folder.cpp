#include "platform/user_config_folder.h"

#include <cstdlib>

#include "platform/home_folder.h"

namespace pathmere {

std::filesystem::path BrenixConfigFolder() {
  // A relative XDG_CONFIG_HOME is invalid by the XDG rules and is ignored.
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/') {
    return std::filesystem::path(config) / "Brenix";
  }
  const std::filesystem::path home = HomeFolder();
  if (home.empty()) return {};
  return home / ".config" / "Brenix";
}

}  // namespace pathmere
