#include "app/state_lines.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/logger_report.h"

namespace pathmere {
namespace {

// "52.37050 N 4.90940 E"
std::string SpokenPosition(const GpsFix& fix) {
  char text[64];
  std::snprintf(text, sizeof text, "%.5f %c %.5f %c", std::fabs(fix.latitude), fix.latitude < 0 ? 'S' : 'N',
                std::fabs(fix.longitude), fix.longitude < 0 ? 'W' : 'E');
  return text;
}

}  // namespace

std::vector<std::string> StateLines::Observe(const Program& program) {
  std::vector<std::string> lines = port_.TakeChanges();
  ObserveData(program, &lines);
  ObserveFix(program, &lines);
  ObserveWrites(program, &lines);
  ObserveBacklog(program, &lines);
  return lines;
}

void StateLines::ObserveBacklog(const Program& program, std::vector<std::string>* lines) {
  const uint32_t behind = program.capture().backlogTicks;
  if (behind >= kToldBacklogTicks && !backlogTold_) {
    lines->push_back("falling behind the receiver: it has sent more than was read for " +
                     SpokenDuration(behind));
    backlogTold_ = true;
  } else if (behind == 0 && backlogTold_) {
    lines->push_back("keeping up with the receiver again");
    backlogTold_ = false;
  }
}

void StateLines::ObserveData(const Program& program, std::vector<std::string>* lines) {
  const uint32_t now = clock_.NowMs();
  if (program.flags().sentencesSeen != sentences_) {
    sentences_ = program.flags().sentencesSeen;
    if (silenceTold_) lines->push_back("data again after " + SpokenDuration((now - lastDataTick_) / 1000));
    silenceTold_ = false;
    silentTicks_ = 0;
    lastDataTick_ = now;
    bytesAtLastData_ = port_.bytesRead();
    return;
  }
  // Silence on a port that is not open is the port's news, told already.
  if (port_.state() != PortWatch::State::kOpen || program.IsReplaying()) {
    silentTicks_ = 0;
    return;
  }
  // After as many ticks as the status area's "No data".
  if (++silentTicks_ == TimerTick::kIdleTicksBeforeNoData + 1 && !silenceTold_) {
    // Noise (a wrong speed, binary output) is not silence.
    lines->push_back(port_.bytesRead() != bytesAtLastData_
                         ? "bytes come but no sentences for " + std::to_string(silentTicks_) + " s"
                         : "receiver silent for " + std::to_string(silentTicks_) + " s");
    silenceTold_ = true;
    if (sentences_ == 0) lastDataTick_ = now - 1000u * static_cast<uint32_t>(silentTicks_);
  }
}

void StateLines::ObserveFix(const Program& program, std::vector<std::string>* lines) {
  const FixState& state = program.shownFixState();
  if (state.ggaSlot < 0) return;  // no sentence yet: the record holds no news
  const bool valid = IsValidFix(state.currentFix);
  if (valid && !hasFix_) {
    lines->push_back(hadFix_ ? "fix again after " + SpokenDuration((clock_.NowMs() - fixLostTick_) / 1000)
                             : "first fix " + SpokenPosition(state.currentFix));
    hadFix_ = true;
  } else if (!valid && hasFix_) {
    lines->push_back("fix lost");
    fixLostTick_ = clock_.NowMs();
  }
  hasFix_ = valid;

  if (state.dropRunsEnded != dropRunsEnded_) {
    dropRunsEnded_ = state.dropRunsEnded;
    if (state.lastDropRun >= kToldDropRun) {
      lines->push_back("dropped " + std::to_string(state.lastDropRun) + " fixes in a row");
    }
  }
}

void StateLines::ObserveWrites(const Program& program, std::vector<std::string>* lines) {
  struct Written {
    const DayFile& file;
    size_t kept;
  };
  const Written files[] = {
      {program.track().output().file(), program.track().keptLines()},
      {program.route().output().file(), program.route().keptLines()},
      {program.nmeaLog().output().file(), program.nmeaLog().keptLines()},
      {program.waypoints().file(), program.waypoints().keptLines()},
      {program.gpx().file().names(), program.gpx().keptLines()},
  };
  static_assert(std::size(files) == std::size(decltype(writes_){}));
  for (size_t i = 0; i < std::size(files); ++i) {
    const DayFile& file = files[i].file;
    WriteState& told = writes_[i];
    WriteState now{file.lastWriteCode(), file.lastWriteCode() == kWriteOk ? 0u : file.lastError(),
                   file.lastSyncError()};
    if (now.code != told.code || now.error != told.error) {
      lines->push_back(now.code == kWriteOk ? DayFileName(file) + " written again"
                                            : DescribeWriteFailure(file, files[i].kept));
    }
    // A failed write has synced nothing; its sync state is the last one's.
    if (now.code == kWriteOk && now.syncError != told.syncError) {
      lines->push_back(now.syncError == 0 ? DayFileName(file) + " synced to disk again"
                                          : "cannot sync " + DayFileName(file) + " to disk: " +
                                                std::strerror(static_cast<int>(now.syncError)));
    }
    if (now.code != kWriteOk) now.syncError = told.syncError;
    told = now;
  }
  // Lines dropped beyond what memory keeps are told as they grow, at most
  // once a minute.
  const std::string dropped = DescribeDropped(program);
  if (dropped != droppedTold_ && (droppedTold_.empty() || ++droppedTicks_ >= 60)) {
    droppedTicks_ = 0;
    droppedTold_ = dropped;
    lines->push_back("dropped, beyond what memory keeps: " + dropped);
  }
}

}  // namespace pathmere
