#include "app/reception_watch.h"

#include <cstdio>

#include "app/program.h"
#include "capture/timer_tick.h"
#include "fix/fix_time.h"

namespace pathmere {

namespace {

const char* StateName(Reception reception) {
  switch (reception) {
    case Reception::kFix:
      return "fix";
    case Reception::kNoFix:
      return "no fix";
    case Reception::kNoData:
      return "no data";
    case Reception::kPortError:
      return "port error";
  }
  return "";
}

}  // namespace

void ReceptionWatch::Update(const Program& program) {
  // The idle count of the tick starts again after each "No data", so the
  // watch keeps its own count of silent ticks.
  const uint32_t sentences = program.flags().sentencesSeen;
  if (sentences != sentencesSeen_) {
    sentencesSeen_ = sentences;
    anySentence_ = true;
    silentTicks_ = 0;
  } else if (silentTicks_ <= TimerTick::kIdleTicksBeforeNoData) {
    ++silentTicks_;
  }
  const Settings& settings = program.settings();
  const bool portWanted = !program.IsReplaying() && settings.portNumber != -1;
  // Before the first capture tick the port has not been tried yet.
  if (portWanted && program.capture().portOpen == 0 && program.tick().timerTicks > 0) {
    reception_ = Reception::kPortError;
    return;
  }
  if (!anySentence_ || silentTicks_ > TimerTick::kIdleTicksBeforeNoData) {
    reception_ = Reception::kNoData;
    return;
  }
  const GpsFix& fix = program.shownFixState().currentFix;
  if (!IsValidFix(fix)) {
    reception_ = Reception::kNoFix;
    return;
  }
  reception_ = Reception::kFix;
  lastFixLocal_ = fix;
  UtcToLocal(fix, &lastFixLocal_);
  hasLastFix_ = true;
}

std::string ReceptionWatch::Summary(const Program& program) const {
  char source[16];
  if (program.IsReplaying()) {
    std::snprintf(source, sizeof source, "Replay");
  } else if (program.settings().portNumber == -1) {
    std::snprintf(source, sizeof source, "NONE");
  } else {
    std::snprintf(source, sizeof source, "COM%d", static_cast<int>(program.settings().portNumber));
  }
  char lastFix[32];
  if (hasLastFix_) {
    std::snprintf(lastFix, sizeof lastFix, "last fix %02d:%02d:%02d", lastFixLocal_.hour,
                  lastFixLocal_.minute, static_cast<int>(lastFixLocal_.seconds));
  } else {
    std::snprintf(lastFix, sizeof lastFix, "no fix yet");
  }
  char line[128];
  std::snprintf(line, sizeof line, "%s: %s, %s, %d points today", source, StateName(reception_), lastFix,
                static_cast<int>(program.trackPointsToday()));
  return line;
}

}  // namespace pathmere
