// pathmere-archive-gen --days N --out DIR [--points P] [--every D]: years of
// generated days written straight as .plt files (tests/support/
// generated_archive.h), one a day from 2016-01-01, for the archive benchmark.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/generated_archive.h"

int main(int argc, char** argv) {
  int days = 365;
  int points = 8200;
  int every = 1;
  const char* out = nullptr;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--days") == 0) days = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--points") == 0) points = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--every") == 0) every = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--out") == 0) out = argv[i + 1];
  }
  if (out == nullptr || days <= 0 || points <= 0 || every <= 0) {
    std::fprintf(stderr, "usage: pathmere-archive-gen --days N --out DIR [--points P] [--every D]\n");
    return 2;
  }
  const uint64_t bytes = pathmere::testing::WriteGeneratedArchive(
      out, pathmere::testing::DayNumberOfCivil(2016, 1, 1), days, points, every);
  if (bytes == 0) return 1;
  std::printf("%d days, %llu points, %.1f MB in %s\n", days, static_cast<unsigned long long>(days) * points,
              static_cast<double>(bytes) / 1e6, out);
  return 0;
}
