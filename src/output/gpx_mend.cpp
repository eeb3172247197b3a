#include "output/gpx_mend.h"

#include <algorithm>

#include "output/gpx_lines.h"

namespace pathmere {

GpxShape InspectGpx(std::string_view text) {
  GpxShape shape;
  if (!text.starts_with(kGpxOwnPrefix)) return shape;
  const size_t track = text.find("\n<trk><name>");
  if (track == std::string_view::npos) return shape;
  const size_t trackLineEnd = text.find('\n', track + 1);
  if (trackLineEnd == std::string_view::npos) return shape;
  // Waypoints precede a finished day's route, which precedes the track.
  const size_t route = text.find("\n<rte>");
  shape.waypointsEnd = std::min(route, track) + 1;

  constexpr std::string_view kPointEndTag = "</trkpt>";
  constexpr std::string_view kPointEnd = "</trkpt>\n";
  const size_t lastPoint = text.rfind(kPointEnd);
  if (text.ends_with(kPointEndTag) && text.size() - kPointEndTag.size() > trackLineEnd) {
    // Cut between a point's end tag and its line feed.
    shape.keep = text.size();
    shape.lineEndLost = true;
    shape.segmentOpen = true;
  } else if (lastPoint != std::string_view::npos && lastPoint > trackLineEnd) {
    shape.keep = lastPoint + kPointEnd.size();
    shape.segmentOpen = true;
  } else {
    shape.keep = trackLineEnd + 1;
  }
  shape.bodyEnd = shape.keep + (shape.lineEndLost ? 1 : 0);
  // What a cut can leave after the last whole point is a fragment of one
  // write: never a whole point or waypoint. Finding one there (line ends
  // changed by an editor, say) means the file is not as we wrote it.
  const std::string_view rest = text.substr(shape.keep);
  if (rest.find("</trkpt>") != std::string_view::npos || rest.find("</wpt>") != std::string_view::npos) {
    return GpxShape{};
  }
  shape.own = true;
  shape.intact = !shape.lineEndLost && rest == GpxClosingTags(shape.segmentOpen);
  return shape;
}

std::string_view GpxMendingTail(const GpxShape& shape) {
  static constexpr std::string_view kAfterLostLineEnd = "\n</trkseg>\n</trk>\n</gpx>\n";
  return shape.lineEndLost ? kAfterLostLineEnd : GpxClosingTags(shape.segmentOpen);
}

}  // namespace pathmere
