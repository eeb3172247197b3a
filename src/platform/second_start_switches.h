#pragma once

#include <string>
#include <vector>

namespace pathmere {

// The arguments (argv[1] onwards) that hold none of the three switches: a
// mistyped "/wtph" or "--bogus" forwards the plain code where a waypoint was
// meant, so the start says so.
std::vector<std::string> UnknownSwitches(int argc, const char* const argv[]);
// "unknown switch /wtph (the switches are ...)" for those arguments.
std::string UnknownSwitchesText(const std::vector<std::string>& unknown);

}  // namespace pathmere
