#include "platform/second_start_switches.h"

#include <string_view>

namespace pathmere {

std::vector<std::string> UnknownSwitches(int argc, const char* const argv[]) {
  std::vector<std::string> unknown;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i] != nullptr ? argv[i] : "";
    bool known = false;
    for (std::string_view name : {"/wpth", "/wpts", "/noup"}) {
      known = known || argument.find(name) != std::string_view::npos;
    }
    if (!known) unknown.emplace_back(argument);
  }
  return unknown;
}

std::string UnknownSwitchesText(const std::vector<std::string>& unknown) {
  std::string text = unknown.size() == 1 ? "unknown switch " : "unknown switches ";
  for (size_t i = 0; i < unknown.size(); ++i) text += (i > 0 ? ", " : "") + unknown[i];
  return text +
         " (the switches are /wpth: a waypoint and a flush, /wpts: the same and show the window, "
         "/noup: nothing; without one the window is shown)";
}

}  // namespace pathmere
