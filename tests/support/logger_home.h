#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_environment.h"

namespace pathmere::testing {

// A home of its own for the headless logger and its second starts: the
// configuration folder (settings store, and the port links in Brenix/ports),
// a private runtime folder for the single-instance socket, and an output
// folder that nothing has created yet.
class LoggerHome {
 public:
  LoggerHome();

  const std::filesystem::path& root() const { return temp_.path(); }
  std::filesystem::path config() const { return root() / "config"; }
  std::filesystem::path ports() const { return config() / "Brenix" / "ports"; }
  std::filesystem::path runtime() const { return root() / "run"; }
  std::filesystem::path out() const { return root() / "out"; }

  // Links COMn to `device`, replacing an older link of that name.
  void LinkPort(int number, const std::string& device) const;
  // XDG_CONFIG_HOME, XDG_RUNTIME_DIR, HOME and TZ for the programs started
  // in this home.
  std::vector<std::string> Environment(const std::string& timeZone) const;

 private:
  TempFolder temp_;
};

}  // namespace pathmere::testing
