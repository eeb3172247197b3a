#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pathmere {

// A command line without a subcommand: a second start that forwards its code
// to the running instance (desktop or headless) and waits until it was
// handled. 0 when delivered (or nothing to send), 1 when no instance runs.
// Arguments that hold no switch are told on standard error, and a start that
// had them ends with 2 whether or not an instance runs: the code still goes.
int RunForwardCommand(std::optional<int32_t> code, const std::vector<std::string>& unknownSwitches = {});

}  // namespace pathmere
