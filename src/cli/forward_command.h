#pragma once

#include <cstdint>
#include <optional>

namespace pathmere {

// A command line without a subcommand: a second start that forwards its code
// to the running instance (desktop or headless) and waits until it was
// handled. 0 when delivered (or nothing to send), 1 when no instance runs.
int RunForwardCommand(std::optional<int32_t> code);

}  // namespace pathmere
