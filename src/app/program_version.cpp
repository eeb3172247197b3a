#include "app/program_version.h"

namespace pathmere {

const char* ProgramVersion() { return PATHMERE_VERSION; }

}  // namespace pathmere
