// pathmere-cli's command line from arbitrary bytes: the input split at NUL
// bytes into the arguments after the program's name.
//
// Checked besides the sanitizers: what the parser calls usable is what the
// commands rely on.
#include <cstdint>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "fuzz_support.h"

namespace {

using namespace pathmere;

void CheckUsable(const CommandLine& command) {
  if (!command.usable()) {
    if (command.error.find('\0') != std::string::npos) fuzzing::Fail("error line holds a NUL");
    return;
  }
  switch (command.kind) {
    case CommandKind::kReplay:
      if (command.replay.files.empty()) fuzzing::Fail("replay without files");
      if (command.replay.outputDir.empty()) fuzzing::Fail("replay without a folder");
      break;
    case CommandKind::kRecord:
      if (command.record.port && *command.record.port < -1) fuzzing::Fail("record on a negative port");
      if (command.record.speed && *command.record.speed <= 0) fuzzing::Fail("record at no speed");
      if (command.record.outputDir && command.record.outputDir->empty()) fuzzing::Fail("record into ''");
      if (command.record.flushSeconds && *command.record.flushSeconds < 0)
        fuzzing::Fail("negative flush interval");
      if (command.record.device && command.record.device->empty()) fuzzing::Fail("record from device ''");
      if ((command.record.device ? 1 : 0) + (command.record.port ? 1 : 0) + (command.record.source ? 1 : 0) >
          1) {
        fuzzing::Fail("record names the receiver twice");
      }
      break;
    case CommandKind::kPorts:
      for (const std::string& name : command.ports.names) {
        if (name.rfind("--", 0) == 0) fuzzing::Fail("an option taken as a port name");
      }
      break;
    case CommandKind::kGpx:
      if (command.gpx.paths.empty()) fuzzing::Fail("gpx without files");
      if (command.gpx.outputDir && command.gpx.outputDir->empty()) fuzzing::Fail("gpx into ''");
      break;
    case CommandKind::kSummary:
      if (command.summary.outputDir && command.summary.outputDir->empty()) fuzzing::Fail("summary of ''");
      if (command.summary.to < command.summary.from) fuzzing::Fail("summary of days backwards");
      break;
    case CommandKind::kCollect:
      if (command.collect.url.empty()) fuzzing::Fail("collect without an address");
      break;
    case CommandKind::kArchive:
      for (const std::string& folder : command.archive.outputDirs) {
        if (folder.empty()) fuzzing::Fail("archive of ''");
      }
      if (command.archive.action == ArchiveArguments::Action::kHere && !command.archive.area.box &&
          !(command.archive.area.latitude >= -90.0 && command.archive.area.latitude <= 90.0)) {
        fuzzing::Fail("archive here at no latitude");
      }
      break;
    case CommandKind::kHelp:
    case CommandKind::kVersion:
    case CommandKind::kForward:
    case CommandKind::kStatus:
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args = {"pathmere-cli"};
  if (size > 0) {
    args.emplace_back();
    for (size_t i = 0; i < size; ++i) {
      if (data[i] == '\0') {
        args.emplace_back();
      } else {
        args.back() += static_cast<char>(data[i]);
      }
    }
  }
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  argv.push_back(nullptr);  // as the system hands it over
  CheckUsable(ParseCommandLine(static_cast<int>(args.size()), argv.data()));
  return 0;
}
