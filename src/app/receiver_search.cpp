#include "app/receiver_search.h"

#include <cerrno>
#include <cstring>
#include <iterator>

namespace pathmere {

namespace fs = std::filesystem;

namespace {

constexpr int kSpeedsPerProbe = static_cast<int>(std::size(ReceiverProbe::kSpeeds));

}  // namespace

ReceiverSearch::ReceiverSearch(Program& program, SerialDeviceSurvey survey)
    : program_(program), portBefore_(program.settings().portNumber), survey_(std::move(survey)) {
  for (const fs::path& device : survey_.DevicesToProbe()) {
    probes_.push_back(std::make_unique<ReceiverProbe>(device, clock_));
  }
  program_.SelectPort(-1);
}

void ReceiverSearch::Cancel() {
  program_.SelectPort(portBefore_);
  program_.AppendToMessageLog("Find receiver: cancelled, nothing changed\r\n");
}

bool ReceiverSearch::Step() {
  while (current_ < probes_.size()) {
    if (probes_[current_]->Step()) return true;
    ++current_;
  }
  return false;
}

int ReceiverSearch::done() const {
  if (current_ >= probes_.size()) return total();
  return static_cast<int>(current_) * kSpeedsPerProbe + probes_[current_]->speedsDone();
}

int ReceiverSearch::total() const { return static_cast<int>(probes_.size()) * kSpeedsPerProbe; }

void ReceiverSearch::Apply() {
  Program& program = program_;
  std::vector<const ReceiverProbe*> answered;
  std::string found;
  for (const auto& probe : probes_) {
    if (probe->result().answered()) answered.push_back(probe.get());
    found += "  " + probe->device().string() + ": " + DescribeProbe(probe->result()) + "\r\n";
  }
  if (answered.size() != 1 || probes_.empty()) program.SelectPort(portBefore_);
  if (probes_.empty()) {
    program.AppendToMessageLog("Find receiver: no serial device found\r\n");
    return;
  }
  if (answered.size() != 1) {
    program.AppendToMessageLog(answered.empty() ? std::string("Find receiver: no receiver answered\r\n")
                                                : "Find receiver: " + std::to_string(answered.size()) +
                                                      " receivers answered, nothing changed\r\n");
    program.AppendToMessageLog(found);
    return;
  }

  const ReceiverProbe& receiver = *answered.front();
  const SerialDeviceInfo info = survey_.Describe(receiver.device());
  const int32_t speed = receiver.result().speed;
  std::string text = "Find receiver: " + info.ShortName(survey_.devRoot()) + " answers at " +
                     std::to_string(speed) + " bit/s";
  int32_t port = survey_.PortReaching(info.node);
  if (port >= 0) {
    text += ", COM" + std::to_string(port) + " opens it";
  } else if ((port = survey_.FreePort()) < 0) {
    program.SelectPort(portBefore_);
    program.AppendToMessageLog(text + "; every COM number is taken, nothing changed\r\n");
    return;
  } else if (!survey_.LinkPort(port, info.LinkTarget())) {
    const int error = errno;
    program.SelectPort(portBefore_);
    program.AppendToMessageLog(text + "; cannot link COM" + std::to_string(port) + ": " +
                               std::strerror(error) + ", nothing changed\r\n");
    return;
  } else {
    text += ", linked as COM" + std::to_string(port) + " (" + info.LinkTarget().string() + ")";
  }
  program.SelectPort(port);
  program.SelectSpeed(speed);
  program.AppendToMessageLog(text + "; COM" + std::to_string(port) + " at " + std::to_string(speed) +
                             " bit/s selected\r\n");
}

}  // namespace pathmere
