#include "platform/home_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace pathmere {

std::filesystem::path HomeFolder() {
  // A relative HOME would move with the current folder; it is ignored.
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

}  // namespace pathmere
