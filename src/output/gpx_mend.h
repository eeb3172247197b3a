#pragma once

#include <cstddef>
#include <string_view>

namespace pathmere {

// What a day's GPX file holds, read back before the first write of a run
// (see gpx_lines.h for its layout). The writer only ever puts whole lines
// over the closing tags, so whatever a kill or a power cut left is a valid
// document up to the last complete "</trkpt>" line, followed by a fragment:
// mending keeps that part and writes the closing tags again.
struct GpxShape {
  // Ours and mendable. Otherwise the file is another program's, or it lost
  // more than the writer could have cut (its start, the track's line, a
  // whole point after the cut), and it is put aside rather than touched.
  bool own = false;
  // Bytes of the file kept as they are: up to the last whole track point,
  // else up to the track's start line. GpxMendingTail() goes after them.
  size_t keep = 0;
  // The last whole point lost only its line feed.
  bool lineEndLost = false;
  // Where the closing tags start once mended: `keep`, and the line feed.
  size_t bodyEnd = 0;
  // The kept part ends inside a <trkseg>.
  bool segmentOpen = false;
  // The file is already the kept part and its closing tags.
  bool intact = false;
  // Where a waypoint goes: the start of the route's or the track's line.
  size_t waypointsEnd = 0;
};

GpxShape InspectGpx(std::string_view text);

// What mending writes after the kept bytes: the lost line feed if any, then
// the closing tags.
std::string_view GpxMendingTail(const GpxShape& shape);

}  // namespace pathmere
