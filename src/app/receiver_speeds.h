#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace pathmere {

// The speeds the receiver reported for a day's points, by time, as the
// day's GPX file keeps them (the .plt has none). Added in any order; a time
// added twice keeps the later speed, so a file read again adds nothing.
class ReceiverSpeeds {
 public:
  // A point and its speed belong together when their times are closer than
  // this: the .plt's day numbers keep under a millisecond, the GPX file's
  // times the millisecond.
  static constexpr double kMatchSeconds = 0.01;

  void Add(double dayNumber, double metresPerSecond);
  // Parses whole lines of a .gpx file and adds the track points' speeds;
  // other lines are passed over. Returns the bytes of whole lines used.
  size_t AddGpxText(std::string_view text);

  // The speed at the point of this time, in m/s, or negative when the
  // receiver gave none.
  double At(double dayNumber) const;
  bool empty() const { return settled_.empty() && recent_.empty(); }

  // Everything added from now on can be taken back by RollBack.
  void Checkpoint();
  void RollBack() { recent_.clear(); }

 private:
  struct Entry {
    double dayNumber;
    double metresPerSecond;
  };
  static void Insert(std::vector<Entry>& entries, Entry entry);
  static double Find(const std::vector<Entry>& entries, double dayNumber);

  // Both sorted by time; `recent_` holds what came after the checkpoint.
  std::vector<Entry> settled_;
  std::vector<Entry> recent_;
};

}  // namespace pathmere
