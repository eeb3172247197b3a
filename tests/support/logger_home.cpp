#include "support/logger_home.h"

namespace pathmere::testing {

namespace fs = std::filesystem;

LoggerHome::LoggerHome() {
  fs::create_directories(ports());
  fs::create_directories(runtime());
  // The instance channel wants a runtime folder that only its user can enter.
  fs::permissions(runtime(), fs::perms::owner_all, fs::perm_options::replace);
}

void LoggerHome::LinkPort(int number, const std::string& device) const {
  const fs::path link = ports() / ("COM" + std::to_string(number));
  std::error_code ignored;
  fs::remove(link, ignored);
  fs::create_symlink(device, link);
}

std::vector<std::string> LoggerHome::Environment(const std::string& timeZone) const {
  return {"XDG_CONFIG_HOME=" + config().string(), "XDG_RUNTIME_DIR=" + runtime().string(),
          "HOME=" + root().string(), "TZ=" + timeZone};
}

}  // namespace pathmere::testing
