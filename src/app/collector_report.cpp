#include "app/collector_report.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>

#include "app/port_watch.h"

namespace pathmere {
namespace {

// A report for a large fleet stays well inside the status reply's limit.
constexpr size_t kDevicesListed = 200;

// "1 point", "12 points"
std::string Counted(int64_t count, const char* unit) {
  return std::to_string(count) + " " + unit + (count == 1 ? "" : "s");
}

// "2026-12-07 15:06:09 UTC"
std::string UtcTime(int64_t tst) {
  const time_t at = static_cast<time_t>(tst);
  tm utc{};
  if (gmtime_r(&at, &utc) == nullptr) return "?";
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d UTC", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
  return text;
}

std::string BrokerState(const CollectorSources& in) {
  if (in.connected) return "connected";
  return in.problem.empty() ? "not connected yet" : "not connected: " + std::string(in.problem);
}

}  // namespace

std::string ComposeCollectorReport(const CollectorSources& in) {
  const Collector& collector = in.collector;
  std::string text = "Pathmere collector (pathmere-cli collect, process " + std::to_string(getpid()) + ")\n";
  text += "Broker: " + std::string(in.url) + ", " + BrokerState(in) + "\n";
  text += "Subscribed to: " + std::string(in.subscription) + " (QoS 1) as " + std::string(in.clientId) +
          ", a session the broker keeps\n";
  text += "Output folder: " + in.files.DisplayPath(collector.base()) + "\n";
  if (collector.messages() == 0) {
    text += "Messages: none yet\n";
  } else {
    const uint32_t ago = (in.clock.NowMs() - collector.lastMessageTick()) / 1000;
    text += "Messages: " + std::to_string(collector.messages()) + " taken, the last " + SpokenDuration(ago) +
            " ago\n";
  }
  text += "  " + Counted(collector.written(), "point") + " written, " +
          Counted(collector.duplicates(), "duplicate") + " dropped\n";
  const int64_t others = collector.skipped(MessageProblem::kNotLocation);
  text += "  " + std::to_string(collector.skippedTotal() - others) + " skipped";
  const MessageProblem kinds[] = {MessageProblem::kTopic,   MessageProblem::kTooLarge,
                                  MessageProblem::kNotJson, MessageProblem::kMissing,
                                  MessageProblem::kAbsurd,  MessageProblem::kFuture};
  const char* separator = ": ";
  for (const MessageProblem kind : kinds) {
    if (collector.skipped(kind) == 0) continue;
    text += separator + std::to_string(collector.skipped(kind)) + " " + MessageProblemText(kind);
    separator = ", ";
  }
  text += "; " + std::to_string(others) + " not a location (last wills)\n";
  const std::vector<Collector::DeviceCount> devices = collector.Devices();
  text += "Devices: " + std::to_string(devices.size()) + "\n";
  for (size_t i = 0; i < devices.size() && i < kDevicesListed; ++i) {
    const Collector::DeviceCount& device = devices[i];
    // A device whose points were all duplicates has no last one.
    const std::string points =
        device.written == 0 ? "no new point"
                            : Counted(device.written, "point") + ", the last of " + UtcTime(device.lastTst);
    text += "  " + device.name + ": " + points + ", " + std::to_string(device.pending) + " in memory\n";
  }
  if (devices.size() > kDevicesListed) {
    text += "  and " + std::to_string(devices.size() - kDevicesListed) + " more\n";
  }
  text += "Written to disk every " + SpokenDuration(Collector::kFlushSeconds) + " and at the end\n";
  return text;
}

std::string ComposeCollectorServiceStatus(const CollectorSources& in) {
  return std::string(in.connected ? "connected" : "not connected") + " to " + std::string(in.url) + "; " +
         Counted(static_cast<int64_t>(in.collector.devices()), "device") + "; " +
         Counted(in.collector.written(), "point") + " written, " +
         std::to_string(in.collector.skippedTotal() - in.collector.skipped(MessageProblem::kNotLocation)) +
         " skipped";
}

}  // namespace pathmere
