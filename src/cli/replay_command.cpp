#include "cli/replay_command.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "app/logger_report.h"
#include "app/program.h"
#include "app/publishing.h"
#include "cli/console_panel.h"
#include "cli/output_folder.h"
#include "platform/file_system_posix.h"
#include "platform/serial_posix.h"
#include "platform/tick_clock.h"

namespace pathmere {

namespace {

// The replayed points go out oldest first, at most 200 a second; the replay
// ends when the broker has acknowledged them all, or after a minute without
// progress, when they wait in the outbox for the next replay.
int PublishBacklog(PositionPublisher& publisher) {
  publisher.Hold(false);
  int64_t waiting = publisher.waiting();
  int idle = 0;
  while (waiting > 0 && idle < 60) {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    publisher.Pump();
    // TLS or nothing: no retry can make a replay's broker trusted.
    if (publisher.tlsRefused()) {
      std::fprintf(stderr, "pathmere-cli: cannot publish: %s\n", publisher.problem().c_str());
      break;
    }
    for (const std::string& note : publisher.TakeNotes())
      std::fprintf(stderr, "pathmere-cli: %s\n", note.c_str());
    const int64_t now = publisher.waiting();
    idle = now < waiting ? 0 : idle + 1;
    waiting = now;
  }
  publisher.Sync();
  // A point the outbox could not keep was never published: the replay did
  // not do what it was asked.
  const Outbox& outbox = publisher.outbox();
  const int64_t notKept = outbox.lost() + outbox.unwritten() + outbox.dropped();
  if (notKept > 0) {
    std::fprintf(stderr, "pathmere-cli: %lld points not kept for the broker (outbox %s: %s)\n",
                 static_cast<long long>(notKept), outbox.folder().c_str(),
                 outbox.problem().empty() ? "full" : outbox.problem().c_str());
    return 1;
  }
  if (waiting == 0) return 0;
  std::fprintf(stderr, "pathmere-cli: %lld points not acknowledged by the broker wait in %s\n",
               static_cast<long long>(waiting), publisher.outbox().folder().c_str());
  return 1;
}

}  // namespace

int RunReplayCommand(const ReplayArguments& args) {
  std::string outputDir;
  if (!PrepareOutputFolder(args.outputDir.c_str(), &outputDir)) return 2;
  std::unique_ptr<Publishing> publishing;
  if (args.publishUrl) {
    std::string error;
    const std::optional<PublishTarget> target = LoadPublishTarget(args.publishUrl, &error);
    if (!target) {
      std::fprintf(stderr, "pathmere-cli: cannot publish: %s\n", error.c_str());
      return 2;
    }
    // An outbox of the replays' own, so a running logger's is left alone,
    // and one per vehicle and broker, so no point goes out as another's.
    const std::filesystem::path outbox = ReplayOutboxFolder(*target);
    publishing = std::make_unique<Publishing>(*target, outbox);
    if (!publishing->owned()) {
      std::fprintf(stderr,
                   "pathmere-cli: cannot publish: another replay publishes as %s to %s now (outbox %s)\n",
                   target->topic().c_str(), target->url.c_str(), outbox.c_str());
      return 1;
    }
    publishing->publisher().Hold(true);
  }
  // The output folder is the root of the writers' device: files land
  // directly in it.
  PosixFileSystem files(outputDir);
  MonotonicTickClock clock;
  TickHost host;  // no start-up action: the output folder is given
  ConsolePanel panel(stdout, args.showStatus ? stderr : nullptr);
  // Never opened: a replay has precedence over the port, and no port is
  // chosen.
  PosixSerialPort port;
  Program program(files, clock, port, host);
  program.AttachPanel(&panel);
  program.SetOutputFolder(L"");
  if (args.gpsOnly) program.SetGpsOnly(true);
  if (args.gpx) program.SetGpxLog(*args.gpx);
  if (publishing) program.AttachPublisher(&publishing->publisher());

  program.Start();
  program.Tick();
  int status = 0;
  for (const std::string& file : args.files) {
    if (!program.ReplayFile(file.c_str())) {
      status = 1;
      continue;
    }
    while (program.IsReplaying()) program.Tick();
  }
  if (program.ShutDown() != 0) {
    // As `record`: scripts must see that the replay did not reach its files.
    std::fprintf(stderr, "pathmere-cli: not everything could be written: %s\n",
                 DescribeUnwritten(program).c_str());
    status = 1;
  }
  if (publishing) status |= PublishBacklog(publishing->publisher());
  return status;
}

}  // namespace pathmere
