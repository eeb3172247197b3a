#pragma once

namespace pathmere {

// pathmere-cli status: asks the running instance (desktop or record) what it
// is doing and prints its answer. 0 when it answered; 1, with the reason on
// standard error, when no instance runs, it is too old to answer, or it did
// not answer.
int RunStatusCommand();

}  // namespace pathmere
