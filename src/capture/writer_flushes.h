#pragma once

namespace pathmere {

// The flushes that the tick, the end of a replay and shut-down ask for. The
// program flushes its writers in a fixed order: track, route, then the NMEA
// log while it is switched on.
class WriterFlushes {
 public:
  virtual ~WriterFlushes() = default;
  virtual void FlushWriters() = 0;
  // The NMEA log alone, only while it is switched on.
  virtual void FlushNmeaLog() = 0;
};

}  // namespace pathmere
