#include "cli/command_line.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "app/publish_target.h"
#include "platform/instance_channel.h"
#include "platform/second_start_switches.h"

namespace pathmere {
namespace {

// Fills `args`; on unusable arguments returns false with `error` set. Sets
// `help` when the usage text was asked for.
bool ParseReplayArguments(int argc, const char* const argv[], ReplayArguments* args, bool* help,
                          std::string* error) {
  const char* outputDir = nullptr;
  for (int i = 0; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      *help = true;
    } else if (std::strcmp(arg, "--output") == 0) {
      if (i + 1 >= argc) {
        *error = "--output needs a folder";
        return false;
      }
      outputDir = argv[++i];
    } else if (std::strncmp(arg, "--output=", 9) == 0) {
      outputDir = arg + 9;
    } else if (std::strcmp(arg, "--publish") == 0) {
      if (i + 1 >= argc) {
        *error = "--publish needs a value";
        return false;
      }
      args->publishUrl = argv[++i];
    } else if (std::strcmp(arg, "--status") == 0) {
      args->showStatus = true;
    } else if (std::strcmp(arg, "--gps-only") == 0) {
      args->gpsOnly = true;
    } else if (std::strcmp(arg, "--gpx") == 0 || std::strcmp(arg, "--no-gpx") == 0) {
      args->gpx = arg[2] == 'g';
    } else if (std::strcmp(arg, "--") == 0) {
      while (++i < argc) args->files.emplace_back(argv[i]);
    } else if (arg[0] == '-' && arg[1] != '\0') {
      *error = std::string("unknown option ") + arg;
      return false;
    } else {
      args->files.emplace_back(arg);
    }
  }
  if (*help) return true;
  if (args->files.empty()) {
    *error = "replay needs at least one FILE";
    return false;
  }
  if (outputDir == nullptr || outputDir[0] == '\0') {
    *error = "replay needs --output DIR";
    return false;
  }
  args->outputDir = outputDir;
  return true;
}

bool ParseNumber(const char* text, int32_t* value) {
  errno = 0;
  char* end = nullptr;
  const long number = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || number < INT32_MIN || number > INT32_MAX) return false;
  *value = static_cast<int32_t>(number);
  return true;
}

bool ParseRecordArguments(int argc, const char* const argv[], RecordArguments* args, bool* help,
                          std::string* error) {
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool takesValue = arg == "--port" || arg == "--speed" || arg == "--output" || arg == "--device" ||
                            arg == "--source" || arg == "--flush-every" || arg == "--publish";
    if (takesValue && i + 1 >= argc) {
      *error = arg + " needs a value";
      return false;
    }
    if (arg == "--help" || arg == "-h") {
      *help = true;
    } else if (arg == "--port") {
      const char* value = argv[++i];
      int32_t port = -1;
      if (std::strcmp(value, "none") != 0 && (!ParseNumber(value, &port) || port < 0)) {
        *error = std::string("--port wants a COM number or none, not ") + value;
        return false;
      }
      args->port = port;
    } else if (arg == "--speed") {
      int32_t speed = 0;
      if (!ParseNumber(argv[++i], &speed) || speed <= 0) {
        *error = std::string("--speed wants bits per second, not ") + argv[i];
        return false;
      }
      args->speed = speed;
    } else if (arg == "--output") {
      args->outputDir = argv[++i];
      if (args->outputDir->empty()) {
        *error = "--output needs a folder";
        return false;
      }
    } else if (arg == "--device") {
      args->device = argv[++i];
      if (args->device->empty()) {
        *error = "--device needs a device path";
        return false;
      }
    } else if (arg == "--flush-every") {
      int32_t seconds = 0;
      if (!ParseNumber(argv[++i], &seconds) || seconds < 0) {
        *error = std::string("--flush-every wants seconds, not ") + argv[i];
        return false;
      }
      args->flushSeconds = seconds;
    } else if (arg == "--source") {
      SourceAddress source;
      std::string problem;
      if (!ParseSourceAddress(argv[++i], &source, &problem)) {
        *error = std::string("--source ") + argv[i] + ": " + problem;
        return false;
      }
      args->source = std::move(source);
    } else if (arg == "--publish") {
      // Checked with the settings file's part of the target, at the start.
      args->publishUrl = argv[++i];
    } else if (arg == "--nmea-log") {
      args->nmeaLog = true;
    } else if (arg == "--gps-only") {
      args->gpsOnly = true;
    } else if (arg == "--gpx" || arg == "--no-gpx") {
      args->gpx = arg == "--gpx";
    } else if (arg == "--status") {
      args->showStatus = 1;
    } else if (arg == "--no-status") {
      args->showStatus = 0;
    } else {
      *error = "unknown argument " + arg;
      return false;
    }
  }
  if ((args->device ? 1 : 0) + (args->port ? 1 : 0) + (args->source ? 1 : 0) > 1) {
    *error = "--port, --device and --source each name the receiver; give one of them";
    return false;
  }
  return true;
}

bool ParsePortsArguments(int argc, const char* const argv[], PortsArguments* args, bool* help,
                         std::string* error) {
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      *help = true;
    } else if (arg == "--probe") {
      args->probe = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      *error = "unknown option " + arg;
      return false;
    } else {
      args->names.push_back(arg);
    }
  }
  return true;
}

bool ParseGpxArguments(int argc, const char* const argv[], GpxArguments* args, bool* help,
                       std::string* error) {
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      *help = true;
    } else if (arg == "--mend") {
      args->mend = true;
    } else if (arg == "--output") {
      if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        *error = "--output needs a folder";
        return false;
      }
      args->outputDir = argv[++i];
    } else if (arg == "--") {
      while (++i < argc) args->paths.emplace_back(argv[i]);
    } else if (arg.size() > 1 && arg[0] == '-') {
      *error = "unknown option " + arg;
      return false;
    } else {
      args->paths.push_back(arg);
    }
  }
  if (!*help && args->paths.empty()) {
    *error = "gpx needs at least one PATH";
    return false;
  }
  return true;
}

// "2026-12-06" as a date; false for anything else.
bool ParseDate(std::string_view text, LocalDate* date) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  int32_t* const parts[] = {&date->year, &date->month, &date->day};
  const size_t starts[] = {0, 5, 8};
  const size_t lengths[] = {4, 2, 2};
  for (size_t i = 0; i < 3; ++i) {
    int32_t value = 0;
    for (char c : text.substr(starts[i], lengths[i])) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + (c - '0');
    }
    *parts[i] = value;
  }
  return date->IsSet();
}

bool ParseSummaryArguments(int argc, const char* const argv[], SummaryArguments* args, bool* help,
                           std::string* error) {
  bool haveDays = false;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      *help = true;
    } else if (arg == "--json") {
      args->json = true;
    } else if (arg == "--output") {
      if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        *error = "--output needs a folder";
        return false;
      }
      args->outputDir = argv[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      *error = "unknown option " + arg;
      return false;
    } else if (haveDays) {
      *error = "summary takes one DAY or FROM..TO, not also " + arg;
      return false;
    } else {
      const size_t dots = arg.find("..");
      const std::string_view text(arg);
      const bool ok = dots == std::string::npos
                          ? ParseDate(text, &args->from) && ParseDate(text, &args->to)
                          : ParseDate(text.substr(0, dots), &args->from) &&
                                ParseDate(text.substr(dots + 2), &args->to) && !(args->to < args->from);
      if (!ok) {
        *error = "summary wants a day as YYYY-MM-DD or days as FROM..TO, not " + arg;
        return false;
      }
      haveDays = true;
    }
  }
  return true;
}

bool ParseCollectArguments(int argc, const char* const argv[], CollectArguments* args, bool* help,
                           std::string* error) {
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      *help = true;
    } else if (arg == "--output") {
      if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        *error = "--output needs a folder";
        return false;
      }
      args->outputDir = argv[++i];
    } else if (arg == "--gpx" || arg == "--no-gpx") {
      args->gpx = arg == "--gpx";
    } else if (arg == "--protocol") {
      bool version5 = false;
      if (i + 1 >= argc || !ParseMqttProtocol(argv[i + 1], &version5)) {
        *error = "--protocol needs 3.1.1 or 5";
        return false;
      }
      args->version5 = version5;
      ++i;
    } else if (arg[0] == '-' || !args->url.empty()) {
      *error = "unknown argument " + arg;
      return false;
    } else {
      args->url = arg;
    }
  }
  if (!*help && args->url.empty()) {
    *error = "collect needs the broker's URL";
    return false;
  }
  return true;
}

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const argv[]) {
  CommandLine command;
  const char* subcommand = argc >= 2 ? argv[1] : "";
  const int restCount = argc >= 2 ? argc - 2 : 0;
  const char* const* rest = argc >= 2 ? argv + 2 : argv;
  bool help = false;
  if (std::strcmp(subcommand, "replay") == 0) {
    command.kind = CommandKind::kReplay;
    ParseReplayArguments(restCount, rest, &command.replay, &help, &command.error);
  } else if (std::strcmp(subcommand, "record") == 0) {
    command.kind = CommandKind::kRecord;
    ParseRecordArguments(restCount, rest, &command.record, &help, &command.error);
  } else if (std::strcmp(subcommand, "ports") == 0) {
    command.kind = CommandKind::kPorts;
    ParsePortsArguments(restCount, rest, &command.ports, &help, &command.error);
  } else if (std::strcmp(subcommand, "gpx") == 0) {
    command.kind = CommandKind::kGpx;
    ParseGpxArguments(restCount, rest, &command.gpx, &help, &command.error);
  } else if (std::strcmp(subcommand, "summary") == 0) {
    command.kind = CommandKind::kSummary;
    ParseSummaryArguments(restCount, rest, &command.summary, &help, &command.error);
  } else if (std::strcmp(subcommand, "collect") == 0) {
    command.kind = CommandKind::kCollect;
    ParseCollectArguments(restCount, rest, &command.collect, &help, &command.error);
  } else if (std::strcmp(subcommand, "archive") == 0) {
    command.kind = CommandKind::kArchive;
    ParseArchiveArguments(restCount, rest, &command.archive, &help, &command.error);
  } else if (std::strcmp(subcommand, "status") == 0) {
    command.kind = CommandKind::kStatus;
    for (int i = 0; i < restCount && command.usable(); ++i) {
      if (std::strcmp(rest[i], "--help") == 0 || std::strcmp(rest[i], "-h") == 0) {
        help = true;
      } else {
        command.error = std::string("status takes no arguments, not ") + rest[i];
      }
    }
  } else if (std::strcmp(subcommand, "--help") == 0 || std::strcmp(subcommand, "-h") == 0) {
    help = true;
  } else if (std::strcmp(subcommand, "--version") == 0) {
    command.kind = CommandKind::kVersion;
  } else {
    // Anything else is a second start, like the desktop program's.
    command.kind = CommandKind::kForward;
    command.forwardCode = ForwardedCode(JoinCommandLine(argc, argv));
    command.unknownSwitches = UnknownSwitches(argc, argv);
  }
  if (command.usable() && help) command.kind = CommandKind::kHelp;
  return command;
}

}  // namespace pathmere
