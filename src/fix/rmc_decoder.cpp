#include "fix/rmc_decoder.h"

namespace pathmere {
int DecodeRmc(const char*, GpsFix*) { return 1; }  // placeholder until the decoder lands
}  // namespace pathmere
