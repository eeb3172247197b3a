#pragma once

namespace pathmere {

class TrackView;

// The track view's keys: Escape and Ctrl+W close it, + and - zoom the map,
// the arrow keys move it by an eighth of its size.
void AddTrackViewKeys(TrackView& view);

}  // namespace pathmere
