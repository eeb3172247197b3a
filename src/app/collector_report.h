#pragma once

#include <string>
#include <string_view>

#include "app/collector.h"
#include "platform/file_system.h"
#include "platform/tick_clock.h"

namespace pathmere {

// What a running collector tells `pathmere-cli status` and systemd.
struct CollectorSources {
  const Collector& collector;
  FileSystem& files;
  TickClock& clock;
  std::string_view url;           // the broker as given
  std::string_view subscription;  // "owntracks/+/+"
  std::string_view clientId;
  bool connected = false;
  std::string_view problem;  // why not connected ("" when unknown)
};

// Several lines of UTF-8: the broker and the subscription, the output
// folder, the messages taken, written, dropped and skipped by kind, and
// each device with its points.
std::string ComposeCollectorReport(const CollectorSources& sources);

// One line for systemd's STATUS=: connected or not, devices, points.
std::string ComposeCollectorServiceStatus(const CollectorSources& sources);

}  // namespace pathmere
