#pragma once

namespace pathmere {

// The version of this build ("0.1"), taken from the CMake project version so
// the package, `pathmere-cli --version` and the About box cannot disagree.
const char* ProgramVersion();

}  // namespace pathmere
