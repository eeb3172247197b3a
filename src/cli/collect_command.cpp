#include "cli/collect_command.h"

#include <poll.h>

#include <cstdio>
#include <set>
#include <string>

#include "app/collector.h"
#include "app/publish_target.h"
#include "cli/output_folder.h"
#include "messages/message_log.h"
#include "platform/file_system_posix.h"
#include "platform/mqtt_connection.h"
#include "platform/service_notifier.h"
#include "platform/stop_signals.h"
#include "platform/tick_clock.h"

namespace pathmere {

namespace {

constexpr uint32_t kFlushMs = 10000;

}  // namespace

int RunCollectCommand(const CollectArguments& args) {
  const char* outputDir = args.outputDir ? args.outputDir->c_str() : nullptr;
  if (outputDir != nullptr && !PrepareOutputFolder(outputDir)) return 2;
  // The broker, user and password file as the logger's, from the URL and
  // the publish settings file.
  std::string error;
  std::optional<PublishTarget> target = LoadPublishTarget(args.url, &error);
  if (!target) {
    std::fprintf(stderr, "pathmere-cli: cannot collect: %s\n", error.c_str());
    return 2;
  }
  const StopSignals stopSignals;
  if (!stopSignals.installed()) {
    std::fprintf(stderr, "pathmere-cli: cannot install the stop signals\n");
    return 1;
  }
  MqttOptions options = target->connection;
  // A fixed id and a session the broker keeps: what arrives while the
  // collector is down waits at the broker.
  options.clientId = "pathmere-collector-" + target->user;
  options.cleanSession = false;
  options.willTopic.clear();
  options.subscribeTo = "owntracks/+/+";
  MqttConnection connection(options);

  PosixFileSystem files = outputDir != nullptr ? PosixFileSystem(outputDir) : PosixFileSystem();
  MonotonicTickClock clock;
  MessageLog log;
  // Without --output, each vehicle's folder goes into the logger's own default.
  Collector collector(files, clock, log, args.gpx, outputDir != nullptr ? L"" : L"\\Pathmere");
  ServiceNotifier systemd;
  std::set<MessageProblem> told;
  std::string toldProblem;
  bool connectedTold = false;
  uint32_t lastFlush = clock.NowMs();
  if (systemd.enabled()) systemd.Send("READY=1");
  for (;;) {
    pollfd fd = {stopSignals.wakeFd(), POLLIN, 0};
    if (poll(&fd, 1, 200) > 0 && (fd.revents & POLLIN) != 0) break;
    for (const MqttMessage& message : connection.TakeMessages()) {
      const MessageProblem problem = collector.Take(message.topic, message.payload);
      if (problem != MessageProblem::kNone && problem != MessageProblem::kNotLocation &&
          told.insert(problem).second) {
        // Once per kind; `status` of the journal tells the counts.
        std::fprintf(stderr, "pathmere-cli: skipping messages: %s (first on %.80s)\n",
                     MessageProblemText(problem), message.topic.c_str());
      }
    }
    const bool connected = connection.connected();
    const std::string problem = connection.problem();
    if (connected && !connectedTold) {
      std::fprintf(stderr, "pathmere-cli: collecting from %s\n", target->url.c_str());
      toldProblem.clear();
    } else if (!connected && !problem.empty() && problem != toldProblem) {
      std::fprintf(stderr, "pathmere-cli: %s, retrying\n", problem.c_str());
      toldProblem = problem;
    }
    connectedTold = connected;
    if (clock.NowMs() - lastFlush >= kFlushMs) {
      collector.Flush();
      lastFlush = clock.NowMs();
      if (systemd.enabled()) {
        systemd.Send("WATCHDOG=1\nSTATUS=" + std::to_string(collector.devices()) + " devices, " +
                     std::to_string(collector.written()) + " points written");
      }
    }
  }
  if (systemd.enabled()) systemd.Send("STOPPING=1");
  const int result = collector.Flush();
  std::fprintf(stderr, "pathmere-cli: %lld points written, %lld duplicates dropped\n",
               static_cast<long long>(collector.written()), static_cast<long long>(collector.duplicates()));
  return result == 0 ? 0 : 1;
}

}  // namespace pathmere
