#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/day_track_feed.h"
#include "cli/archive_command.h"
#include "platform/source_address.h"

namespace pathmere {

// pathmere-cli replay FILE... --output DIR [--status] [--gps-only] [--gpx|--no-gpx] [--publish URL]
struct ReplayArguments {
  std::vector<std::string> files;
  std::string outputDir;
  bool showStatus = false;
  bool gpsOnly = false;
  std::optional<bool> gpx;                // the day's GPX file; on unless --no-gpx
  std::optional<std::string> publishUrl;  // the points to this broker as a backlog
};

// pathmere-cli record [--port N|none | --device PATH | --source ADDRESS] [--speed BPS] [--output DIR]
//                     [--nmea-log] [--gps-only] [--status|--no-status] [--flush-every SECONDS]
//                     [--gpx|--no-gpx] [--publish URL]
struct RecordArguments {
  std::optional<int32_t> port;  // -1: none
  std::optional<std::string> device;
  std::optional<SourceAddress> source;
  std::optional<int32_t> speed;
  std::optional<std::string> outputDir;
  bool nmeaLog = false;
  bool gpsOnly = false;
  int showStatus = -1;                    // -1: when standard output is a terminal
  std::optional<int32_t> flushSeconds;    // 0: the writers' own intervals
  std::optional<bool> gpx;                // else the saved "GpxLog"
  std::optional<std::string> publishUrl;  // else the publish settings file's, if any
};

// pathmere-cli gpx [--output DIR] [--mend] PATH...
struct GpxArguments {
  std::vector<std::string> paths;        // day files (.plt, .rte, .wpt, .gpx) or folders of them
  std::optional<std::string> outputDir;  // else beside each day's files
  bool mend = false;
};

// pathmere-cli ports [--probe] [COMn|DEVICE...]
struct PortsArguments {
  bool probe = false;
  std::vector<std::string> names;  // only these; empty for every port and device
};

// pathmere-cli summary [--output DIR] [--json] [DAY|FROM..TO]
struct SummaryArguments {
  std::optional<std::string> outputDir;  // else the saved output folder
  bool json = false;
  // Unset: the latest day with files. Equal for one day.
  LocalDate from;
  LocalDate to;
};

// pathmere-cli collect URL [--output DIR] [--gpx|--no-gpx] [--protocol 3.1.1|5]
struct CollectArguments {
  std::string url;
  std::optional<std::string> outputDir;  // else the default output folder
  bool gpx = true;
  std::optional<bool> version5;  // else the publish file's protocol, else 3.1.1
};

enum class CommandKind {
  kHelp,
  kVersion,
  kReplay,
  kRecord,
  kPorts,
  kForward,
  kStatus,
  kGpx,
  kSummary,
  kCollect,
  kArchive
};

// What a command line asks for, read without touching anything, so the
// program and its checks share one reading of it.
struct CommandLine {
  CommandKind kind = CommandKind::kHelp;
  // Not empty when the arguments are unusable: the one line to show.
  std::string error;
  ReplayArguments replay;              // kReplay
  RecordArguments record;              // kRecord
  PortsArguments ports;                // kPorts
  GpxArguments gpx;                    // kGpx
  SummaryArguments summary;            // kSummary
  CollectArguments collect;            // kCollect
  ArchiveArguments archive;            // kArchive
  std::optional<int32_t> forwardCode;  // kForward; empty for "/noup"
  // kForward: the arguments that hold no switch.
  std::vector<std::string> unknownSwitches;

  bool usable() const { return error.empty(); }
};

// argv[0] is the program's name. "--help" or "-h" as the subcommand, or
// anywhere among usable replay or record arguments, asks for the usage text.
// "--version" as the subcommand asks for the version. Anything but a
// subcommand is a second start with a code to forward.
CommandLine ParseCommandLine(int argc, const char* const argv[]);

}  // namespace pathmere
