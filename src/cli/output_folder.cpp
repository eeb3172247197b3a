#include "cli/output_folder.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace pathmere {

bool PrepareOutputFolder(const char* path, std::string* absolute) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::create_directories(path, error);
  if (!error && fs::is_directory(path, error)) {
    if (absolute == nullptr) return true;
    // Lexically: a folder given through a symbolic link keeps its name.
    fs::path full = fs::absolute(path, error).lexically_normal();
    if (!error) {
      if (!full.has_filename() && full != full.root_path()) full = full.parent_path();
      *absolute = full.string();
      return true;
    }
  }
  std::fprintf(stderr, "pathmere-cli: cannot use %s as the output folder: %s\n", path,
               error ? error.message().c_str() : "not a folder");
  return false;
}

}  // namespace pathmere
