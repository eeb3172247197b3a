#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/port_watch.h"
#include "app/program.h"
#include "platform/file_system.h"
#include "platform/tick_clock.h"

namespace pathmere {

// The lines of the day files, counted once and then only where they grew:
// the writers only ever append, so the STATUS line of every tick costs a
// look at the size, not a read of the day.
class DayFileCensus {
 public:
  struct Count {
    bool exists = false;
    int64_t bytes = 0;
    long lines = 0;
  };
  Count Take(FileSystem& files, const std::wstring& path);

 private:
  struct Known {
    std::wstring path;
    int64_t bytes;
    long lines;
  };
  std::vector<Known> known_;
};

// What a running instance tells `pathmere-cli status`.
struct StatusSources {
  const Program& program;
  FileSystem& files;
  TickClock& clock;
  const PortWatch* port;         // null: the port is not watched
  std::wstring_view statusText;  // the status area as shown
  std::string_view frontEnd;     // "pathmere-cli record", "pathmere"
};

// Several lines of UTF-8: the status text, the port, the output folder, the
// day's files with their sizes and points, when each was last written, what
// is still only in memory, and how often it goes to disk.
std::string ComposeStatusReport(const StatusSources& sources, DayFileCensus& census);

// One line for systemd's STATUS=: port, fix, points today.
std::string ComposeServiceStatus(const Program& program, const PortWatch& port, FileSystem& files,
                                 DayFileCensus& census);

}  // namespace pathmere
