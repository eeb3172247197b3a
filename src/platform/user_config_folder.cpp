#include "platform/user_config_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace pathmere {

namespace {

std::filesystem::path HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') return home;
  // Services started without HOME still have a password entry.
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr && found->pw_dir[0] == '/') {
    return found->pw_dir;
  }
  return {};
}

}  // namespace

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
