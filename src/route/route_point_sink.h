#pragma once

#include "fix/gps_fix.h"

namespace pathmere {

// Where chosen route points go: the route file writer in the program, a
// recorder in tests. The result code is for the writer's own callers; route
// point selection ignores it.
class RoutePointSink {
 public:
  virtual ~RoutePointSink() = default;
  virtual int AddPoint(const GpsFix& fix) = 0;
};

}  // namespace pathmere
