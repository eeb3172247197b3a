#include "cli/collect_command.h"

#include <poll.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "app/collector.h"
#include "app/collector_channel.h"
#include "app/collector_journal.h"
#include "app/collector_report.h"
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

constexpr uint32_t kTickMs = 1000;
constexpr int kPollMs = 200;

// Tells the journal each change of the connection, once per problem.
class ConnectionLines {
 public:
  explicit ConnectionLines(std::string url) : url_(std::move(url)) {}

  void Observe(const MqttConnection& connection) {
    const bool connected = connection.connected();
    const std::string problem = connection.problem();
    if (connected && !connectedTold_) {
      std::fprintf(stderr, "pathmere-cli: collecting from %s\n", url_.c_str());
      toldProblem_.clear();
    } else if (!connected && !problem.empty() && problem != toldProblem_) {
      std::fprintf(stderr, "pathmere-cli: %s, retrying\n", problem.c_str());
      toldProblem_ = problem;
    }
    connectedTold_ = connected;
  }

 private:
  std::string url_;
  std::string toldProblem_;
  bool connectedTold_ = false;
};

}  // namespace

int RunCollectCommand(const CollectArguments& args) {
  // Kept as an absolute path, as record keeps it, so status names it whole.
  std::string absoluteOutputDir;
  if (args.outputDir && !PrepareOutputFolder(args.outputDir->c_str(), &absoluteOutputDir)) return 2;
  const char* outputDir = args.outputDir ? absoluteOutputDir.c_str() : nullptr;
  // The broker, user and password file as the logger's, from the URL and
  // the publish settings file.
  std::string error;
  std::optional<PublishTarget> target = LoadPublishTarget(args.url, &error);
  if (!target) {
    std::fprintf(stderr, "pathmere-cli: cannot collect: %s\n", error.c_str());
    return 2;
  }
  std::string channelProblem;
  std::unique_ptr<InstanceChannel> channel = CollectorChannel(&channelProblem);
  if (channel != nullptr) {
    switch (channel->Listen()) {
      case InstanceChannel::ListenResult::kListening:
        break;
      case InstanceChannel::ListenResult::kOtherInstance:
        std::fprintf(stderr,
                     "pathmere-cli: a collector is already running ('pathmere-cli status' tells what it "
                     "does)\n");
        return 1;
      case InstanceChannel::ListenResult::kFailed:
        channelProblem = channel->listenProblem();
        break;
    }
  }
  if (!channelProblem.empty()) {
    std::fprintf(stderr, "pathmere-cli: 'pathmere-cli status' cannot reach this collector: %s\n",
                 channelProblem.c_str());
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
  if (args.version5) options.version5 = *args.version5;

  PosixFileSystem files = outputDir != nullptr ? PosixFileSystem(outputDir) : PosixFileSystem();
  MonotonicTickClock clock;
  MessageLog log;
  // Without --output, each vehicle's folder goes into the logger's own default.
  Collector collector(files, clock, log, args.gpx, outputDir != nullptr ? L"" : L"\\Pathmere");
  // The journal's own file system: it is written on the connection's thread.
  PosixFileSystem journalFiles = outputDir != nullptr ? PosixFileSystem(outputDir) : PosixFileSystem();
  CollectorJournal journal(journalFiles, collector.base() + L"\\.journal");
  bool journalFailing = false;
  const auto written = [&](int flushed) { journal.Written(flushed == 0 && !collector.TakeWriteFailure()); };
  // What a run that was killed had made durable but not yet written.
  if (const std::vector<MqttMessage> left = journal.Recover(); !left.empty()) {
    for (const MqttMessage& message : left) collector.Take(message.topic, message.payload);
    written(collector.Flush());
    std::fprintf(stderr, "pathmere-cli: %zu messages of the last run taken from its journal\n", left.size());
  }
  // Each message kept in the journal, and synced, before the library
  // acknowledges it.
  MqttConnection connection(
      options, [&journal](const MqttMessage& message) { return journal.Keep(message); },
      [&journal] { return journal.Commit(); });

  const std::string shownBroker = target->url + (options.version5 ? " (MQTT 5)" : "");
  auto sources = [&] {
    return CollectorSources{
        collector, files, clock, shownBroker, options.subscribeTo, options.clientId, connection.connected(),
        ""};
  };
  auto report = [&] {
    const std::string problem = connection.problem();
    CollectorSources in = sources();
    in.problem = problem;
    return ComposeCollectorReport(in);
  };

  // Under systemd (Type=notify): ready at once, a watchdog ping every
  // second from the loop that takes the messages, and the state whenever
  // it changes.
  ServiceNotifier systemd;
  std::string toldStatus;
  std::set<MessageProblem> told;
  ConnectionLines connectionLines(target->url);
  if (systemd.enabled()) systemd.Send("READY=1");
  for (const std::string& old : collector.OldNamedFolders()) {
    std::fprintf(stderr,
                 "pathmere-cli: %s/ is named as before (USER-DEVICE, which two vehicles can share); points "
                 "now go to USER/DEVICE/: move its files there so that they are checked for duplicates\n",
                 old.c_str());
  }
  bool refused = false;
  uint32_t nextTick = clock.NowMs() + kTickMs;
  uint32_t lastFlush = clock.NowMs();
  const auto takeMessages = [&] {
    if (const std::string problem = journal.problem(); problem.empty() != !journalFailing) {
      journalFailing = !problem.empty();
      if (journalFailing) {
        std::fprintf(stderr, "pathmere-cli: %s; the broker keeps the messages until it can\n",
                     problem.c_str());
      } else {
        std::fprintf(stderr, "pathmere-cli: the journal is written again\n");
      }
    }
    for (const MqttMessage& message : journal.Take()) {
      const MessageProblem problem = collector.Take(message.topic, message.payload);
      if (problem != MessageProblem::kNone && problem != MessageProblem::kNotLocation &&
          told.insert(problem).second) {
        // Once per kind; `status` tells the counts.
        std::fprintf(stderr, "pathmere-cli: skipping messages: %s (first on %.80s)\n",
                     MessageProblemText(problem), message.topic.c_str());
      }
    }
  };
  for (;;) {
    std::vector<pollfd> fds = {{stopSignals.wakeFd(), POLLIN, 0},
                               {channel ? channel->listenFd() : -1, POLLIN, 0}};
    if (channel) {
      for (const int fd : channel->waitingFds()) fds.push_back({fd, POLLIN, 0});
    }
    if (poll(fds.data(), fds.size(), kPollMs) > 0 && (fds[0].revents & POLLIN) != 0) break;
    // Nothing to forward to a collector: only `status` is answered.
    if (channel) channel->ServeOnce([](int32_t) {}, report);
    takeMessages();
    if (connection.tlsRefused()) {
      // TLS or nothing, and no retry makes a broker trusted: the service
      // manager and the user see it at once.
      std::fprintf(stderr, "pathmere-cli: cannot collect: %s\n", connection.problem().c_str());
      refused = true;
      break;
    }
    connectionLines.Observe(connection);
    if (clock.NowMs() - lastFlush >= 1000u * Collector::kFlushSeconds) {
      written(collector.Flush());
      lastFlush = clock.NowMs();
    }
    for (const std::string& line : collector.ObserveWrites())
      std::fprintf(stderr, "pathmere-cli: %s\n", line.c_str());
    if (static_cast<int32_t>(clock.NowMs() - nextTick) >= 0) {
      nextTick = clock.NowMs() + kTickMs;
      if (systemd.enabled()) {
        const std::string status = ComposeCollectorServiceStatus(sources());
        std::string message = "WATCHDOG=1";
        if (status != toldStatus) message += "\nSTATUS=" + status;
        if (systemd.Send(message)) toldStatus = status;
      }
    }
  }
  if (systemd.enabled()) systemd.Send("STOPPING=1");
  // What came until the connection ended is in the journal: it is written
  // with the rest, and the journal goes once it is.
  connection.Stop();
  takeMessages();
  const int result = collector.Flush();
  written(result);
  for (const std::string& line : collector.ObserveWrites())
    std::fprintf(stderr, "pathmere-cli: %s\n", line.c_str());
  std::fprintf(stderr, "pathmere-cli: %lld points written, %lld duplicates dropped\n",
               static_cast<long long>(collector.written()), static_cast<long long>(collector.duplicates()));
  return result == 0 && !refused ? 0 : 1;
}

}  // namespace pathmere
