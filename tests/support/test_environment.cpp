#include "support/test_environment.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace pathmere::testing {

namespace fs = std::filesystem;

fs::path RecordedLogFolder() {
  const char* env = std::getenv("PATHMERE_TESTDATA");
  fs::path folder = env != nullptr ? fs::path(env) : fs::path(PATHMERE_TESTDATA_DIR);
  std::error_code ec;
  return fs::is_directory(folder, ec) ? folder : fs::path();
}

std::vector<fs::path> RecordedLogs() {
  std::vector<fs::path> logs;
  const fs::path folder = RecordedLogFolder();
  if (folder.empty()) return logs;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const auto ext = entry.path().extension();
    if (entry.is_regular_file() && (ext == ".nmea" || ext == ".log")) logs.push_back(entry.path());
  }
  std::sort(logs.begin(), logs.end());
  return logs;
}

std::string ReadWholeFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

ScopedTimeZone::ScopedTimeZone(const char* tz) {
  if (const char* old = std::getenv("TZ")) {
    hadOld_ = true;
    old_ = old;
  }
  setenv("TZ", tz, 1);
  tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
  if (hadOld_) {
    setenv("TZ", old_.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

TempFolder::TempFolder() {
  std::string pattern = (fs::temp_directory_path() / "pathmere-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

}  // namespace pathmere::testing
