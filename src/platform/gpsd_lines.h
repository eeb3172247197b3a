#pragma once

#include <cstddef>
#include <cstdint>

namespace pathmere {

// What gpsd sends to a client that watches with "nmea":true: its own
// replies as JSON objects, one a line ("{"class":"VERSION",...}"), and the
// receiver's NMEA lines as the receiver sent them. Only the NMEA lines pass,
// byte for byte, wherever the reads cut them; no line is held, so memory
// stays the same for any line length.
class GpsdLines {
 public:
  // Keeps the passing bytes at the front of `bytes`; returns how many.
  size_t Filter(uint8_t* bytes, size_t count);
  // A new connection starts at a line.
  void Reset() { atLineStart_ = true, inReply_ = false; }

 private:
  bool atLineStart_ = true;
  bool inReply_ = false;
};

}  // namespace pathmere
