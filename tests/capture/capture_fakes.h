#pragma once

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "capture/sentence_assembler.h"
#include "capture/timer_tick.h"
#include "capture/writer_flushes.h"
#include "platform/serial_port.h"

namespace pathmere::testing {

// One ordered record of what the capture step and the tick did.
using Events = std::vector<std::string>;

// A serial port that plays back scripted results. An empty script reads 0.
class ScriptedSerialPort : public SerialPort {
 public:
  explicit ScriptedSerialPort(Events& events) : events_(events) {}
  int32_t OpenPort(int32_t, int32_t) override {
    events_.push_back("open");
    return openResult;
  }
  int32_t ReadPort(uint8_t* buffer, int32_t size) override {
    events_.push_back("read");
    if (reads.empty()) return 0;
    std::string next = reads.front();
    reads.pop_front();
    if (next == "<error>") return -2;
    if (next == "<flood>") next.assign(static_cast<size_t>(size), 'x');
    const int32_t n = static_cast<int32_t>(next.size()) < size ? static_cast<int32_t>(next.size()) : size;
    std::memcpy(buffer, next.data(), static_cast<size_t>(n));
    return n;
  }
  void ClosePort() override { events_.push_back("close"); }
  bool IsLinePaced() const override { return linePaced; }
  int32_t openResult = 0;
  bool linePaced = true;
  std::deque<std::string> reads;

 private:
  Events& events_;
};

struct RecordingSentences : SentenceSink {
  explicit RecordingSentences(Events& events) : events_(events) {}
  void ProcessSentence(const char* sentence) override {
    events_.push_back(std::string("sentence ") + sentence);
  }
  Events& events_;
};

struct RecordingFlushes : WriterFlushes {
  explicit RecordingFlushes(Events& events) : events_(events) {}
  void FlushWriters() override { events_.push_back("flush writers"); }
  void FlushNmeaLog() override { events_.push_back("flush nmea log"); }
  Events& events_;
};

struct RecordingHost : TickHost {
  explicit RecordingHost(Events& events) : events_(events) {}
  void RunStartupAction() override { events_.push_back("startup"); }
  void ResetIdleTimer() override { events_.push_back("idle reset"); }
  Events& events_;
};

}  // namespace pathmere::testing
