#pragma once

// Shared by the fuzz targets: a scratch folder made once per process and
// emptied between inputs, so neither state nor disk use piles up over
// millions of runs.

#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace pathmere::fuzzing {

// A failed property: report it the way a sanitizer would, so libFuzzer
// saves the input.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "property violated: %s\n", what);
  std::abort();
}

inline const std::filesystem::path& ScratchFolder() {
  struct Folder {
    Folder() {
      std::string pattern = (std::filesystem::temp_directory_path() / "pathmere-fuzz-XXXXXX").string();
      if (mkdtemp(pattern.data()) == nullptr) Fail("cannot make the scratch folder");
      path = pattern;
    }
    ~Folder() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
    std::filesystem::path path;
  };
  static const Folder folder;
  return folder.path;
}

inline void EmptyScratchFolder() {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(ScratchFolder(), ignored)) {
    std::filesystem::remove_all(entry.path(), ignored);
  }
}

inline void WriteScratchFile(const std::string& name, const uint8_t* data, size_t size) {
  std::ofstream out(ScratchFolder() / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) Fail("cannot write the scratch file");
}

// Fixed local time rules for every run, with daylight saving so that local
// days differ from UTC days; TZ from the environment wins.
inline void UseFuzzTimeZone() { setenv("TZ", "Europe/Berlin", 0); }

}  // namespace pathmere::fuzzing
