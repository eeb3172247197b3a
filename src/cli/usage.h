#pragma once

#include <cstdio>

namespace pathmere {

void PrintUsage(std::FILE* stream);

}  // namespace pathmere
