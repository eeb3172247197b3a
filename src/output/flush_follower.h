#pragma once

namespace pathmere {

// A writer whose file follows another day file's flushes: it writes its own
// pending lines just before the other writes, so that whatever stops the
// program between the two writes, the follower's file holds no fewer points.
class FlushFollower {
 public:
  virtual ~FlushFollower() = default;
  // Its own failures are its own to report; the leader writes regardless.
  virtual void FlushFollowing() = 0;
};

}  // namespace pathmere
