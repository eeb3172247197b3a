#include "capture/capture_loop.h"

#include <algorithm>
#include <cstdio>

#include "platform/host_files.h"
#include "text/wide_text.h"

namespace pathmere {

void CaptureLoop::CaptureStep() {
  if (state_.IsReplaying()) {
    ReplayStep();
  } else {
    SerialStep();
  }
}

void CaptureLoop::ReplayStep() {
  const uint32_t start = clock_.NowMs();
  for (int blocks = 1;; ++blocks) {
    if (aheadUsed_ == aheadFill_) {
      DropReadAhead();
      uint32_t count = 0;
      if (!files_.Read(state_.replayFile, readAhead_, sizeof readAhead_, &count) || count == 0) {
        EndReplay();
        return;
      }
      aheadFill_ = count;
    }
    const uint32_t left = aheadFill_ - aheadUsed_;
    const uint32_t block = left < kBlockSize ? left : kBlockSize;
    assembler_.Feed(readAhead_ + aheadUsed_, static_cast<int32_t>(block));
    aheadUsed_ += block;
    replayedBytes_ += block;
    if (clock_.NowMs() - start > kReplaySliceMs || blocks >= kMaxReplayBlocksPerTick) return;
  }
}

void CaptureLoop::EndReplay() {
  files_.Close(state_.replayFile);
  DropReadAhead();
  writers_.FlushWriters();
  state_.replayFile = kInvalidFile;
  log_.AppendText(kMessageLog, std::string_view("File processed\r\n"));
}

// The port stays open between ticks; after an error it is closed and the
// next tick opens it again, so an unplugged receiver is picked up by itself
// once it is back.
void CaptureLoop::SerialStep() {
  if (settings_.portNumber == -1) return;
  char text[256];
  if (state_.portOpen == 0) {
    if (const char* device = port_.FixedDeviceName()) {
      std::snprintf(text, sizeof text, "%.200s opening...\r\n", device);
    } else {
      std::snprintf(text, sizeof text, "COM%d opening...\r\n", settings_.portNumber);
    }
    log_.AppendText(kStatusArea, std::string_view(text));
    const int32_t result = port_.OpenPort(settings_.portNumber, settings_.portSpeed);
    if (result != 0) {
      std::snprintf(text, sizeof text, "COM-port open error (%d)!\r\n", result);
      log_.AppendText(kStatusArea, std::string_view(text));
      return;
    }
    state_.portOpen = 1;
  }
  const bool paced = port_.IsLinePaced();
  const int maxReads = paced ? kMaxPortReadsPerTick : kMaxUnpacedReadsPerTick;
  const uint32_t start = clock_.NowMs();
  for (int i = 0; i < maxReads; ++i) {
    const int32_t n = port_.ReadPort(readBuffer_, kBlockSize);
    if (n < 0) {
      ClosePort();
      log_.AppendText(kStatusArea, std::string_view("COM-port read error!\r\n"));
      return;
    }
    if (n == 0) {
      state_.backlogTicks = 0;
      return;
    }
    assembler_.Feed(readBuffer_, n);
    if (!paced && clock_.NowMs() - start > kUnpacedSliceMs) break;
  }
  // The reads ended with bytes still coming: the source is ahead of us.
  if (!paced) ++state_.backlogTicks;
}

bool CaptureLoop::StartReplay(const char* hostPath) {
  // Host paths are UTF-8; the log holds wide text.
  log_.AppendText(kMessageLog, Utf8ToWide(hostPath));
  log_.AppendText(kMessageLog, std::string_view("\r\n"));
  uint32_t error = 0;
  const FileHandle file = OpenHostFileForRead(hostPath, &error);
  if (file == kInvalidFile) {
    log_.PostNumbered(message_, sizeof message_ / sizeof message_[0], "(%u) File Open Error: %u \r\n", error);
    return false;
  }
  writers_.FlushNmeaLog();
  flags_.flushRequested = 1;
  CloseReplay();
  state_.replayFile = file;
  replayedBytes_ = 0;
  replaySize_ = std::max<int64_t>(files_.FileSize(file), 0);
  return true;
}

void CaptureLoop::ClosePort() {
  port_.ClosePort();
  state_.portOpen = 0;
  state_.backlogTicks = 0;
}

void CaptureLoop::CloseReplay() {
  if (!state_.IsReplaying()) return;
  files_.Close(state_.replayFile);
  DropReadAhead();
  state_.replayFile = kInvalidFile;
}

}  // namespace pathmere
