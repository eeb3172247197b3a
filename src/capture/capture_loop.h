#pragma once

#include <cstdint>
#include <string_view>

#include "capture/capture_state.h"
#include "capture/sentence_assembler.h"
#include "capture/writer_flushes.h"
#include "fix/shared_flags.h"
#include "messages/message_log.h"
#include "platform/file_system.h"
#include "platform/serial_port.h"
#include "platform/tick_clock.h"
#include "settings/settings.h"

namespace pathmere {

// Moves bytes from a replayed file (which has precedence) or from the serial
// port into the sentence assemblers, a bounded amount per tick so the window
// never stalls.
class CaptureLoop {
 public:
  static constexpr int32_t kBlockSize = 1024;
  static constexpr int kMaxReplayBlocksPerTick = 1000;
  static constexpr uint32_t kReplaySliceMs = 500;
  static constexpr int kMaxPortReadsPerTick = 10;
  // A source that no line speed paces (the network) is read until it has
  // nothing queued, within these bounds per tick: a boat's network sends
  // hundreds of sentences a second.
  static constexpr int kMaxUnpacedReadsPerTick = 512;
  static constexpr uint32_t kUnpacedSliceMs = 500;
  // A replayed file is read this many blocks at a time, which saves system
  // calls; its bytes still go on block by block, so the limits per tick
  // above keep counting blocks of kBlockSize.
  static constexpr int32_t kReplayReadBlocks = 32;

  CaptureLoop(CaptureState& state, SharedFlags& flags, const Settings& settings, MessageLog& log,
              FileSystem& files, TickClock& clock, SerialPort& port, ReceiverInput& assembler,
              WriterFlushes& writers)
      : state_(state),
        flags_(flags),
        settings_(settings),
        log_(log),
        files_(files),
        clock_(clock),
        port_(port),
        assembler_(assembler),
        writers_(writers) {}

  // One tick's worth of capture.
  void CaptureStep();

  // "Read NMEA file": announces the path in the message log, opens the host
  // file and makes it the replay source from the next tick on. Returns false
  // (after a numbered "File Open Error") when it cannot be opened; a replay in
  // progress then goes on.
  bool StartReplay(const char* hostPath);

  // Closes a replay file that is still open (shut-down).
  void CloseReplay();
  // How far the replay is: bytes handed on, of the file's size when it
  // started (0 when that could not be read).
  int64_t replayedBytes() const { return replayedBytes_; }
  int64_t replaySize() const { return replaySize_; }

  // Closes the serial port; the next tick opens it again with the port
  // number and speed of that moment.
  void ClosePort();

 private:
  void ReplayStep();
  void SerialStep();
  void EndReplay();
  void DropReadAhead() { aheadFill_ = aheadUsed_ = 0; }

  CaptureState& state_;
  SharedFlags& flags_;
  const Settings& settings_;
  MessageLog& log_;
  FileSystem& files_;
  TickClock& clock_;
  SerialPort& port_;
  ReceiverInput& assembler_;
  WriterFlushes& writers_;
  uint8_t readBuffer_[kBlockSize] = {};
  // Bytes of the replayed file read but not yet handed on.
  uint8_t readAhead_[kReplayReadBlocks * kBlockSize] = {};
  uint32_t aheadFill_ = 0;
  uint32_t aheadUsed_ = 0;
  int64_t replayedBytes_ = 0;
  int64_t replaySize_ = 0;
  wchar_t message_[64] = {};
};

}  // namespace pathmere
