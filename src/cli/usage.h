#pragma once

#include <cstdio>

namespace pathmere {

// The text of `pathmere-cli --help`; the manual page names every option in it.
void PrintUsage(std::FILE* stream);
// "pathmere-cli 0.1": the line of `pathmere-cli --version`.
void PrintVersion(std::FILE* stream);

}  // namespace pathmere
