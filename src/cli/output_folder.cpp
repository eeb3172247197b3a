#include "cli/output_folder.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace pathmere {

bool PrepareOutputFolder(const char* path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (!error && std::filesystem::is_directory(path, error)) return true;
  std::fprintf(stderr, "pathmere-cli: cannot use %s as the output folder: %s\n", path,
               error ? error.message().c_str() : "not a folder");
  return false;
}

}  // namespace pathmere
