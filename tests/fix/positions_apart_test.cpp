#include "fix/positions_apart.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace pathmere {
namespace {

struct ApartCase {
  const char* legend;
  double lat1, lon1, lat2, lon2, limit;
  int32_t expected;
};

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

const ApartCase kApartCases[] = {
    {"identical positions, limit 0", 48.1, 11.5, 48.1, 11.5, 0.0, 0},
    {"0.003 deg of latitude is 333.6 m", 10.0, 0.0, 10.003, 50.0, 300.0, 1},
    {"0.0025 deg of latitude is 278 m", 10.0, 0.0, 10.0025, 0.0, 300.0, 0},
    {"east-west alone at the equator", 0.0, 0.0, 0.0, 0.0027, 300.0, 1},
    {"east-west shrinks with latitude (60 deg)", 60.0, 0.0, 60.0, 0.0050, 300.0, 0},
    {"diagonal: each under, sum over", 0.0, 0.0, 0.0020, 0.0020, 300.0, 1},
    {"mean latitude 89.6: east-west counts 0", 89.6, 0.0, 89.6, 90.0, 300.0, 0},
    {"date line is not wrapped", 0.0, 179.999, 0.0, -179.999, 1000.0, 1},
    {"first fix against 0/0 within the limit", 0.001, 0.001, 0.0, 0.0, 300.0, 0},
    {"first fix against 0/0 far away", 48.1, 11.5, 0.0, 0.0, 300.0, 1},
    {"NaN latitude answers, not apart", kNaN, 0.0, 0.0, 0.0, 300.0, 0},
    {"infinite longitude is apart", 10.0, kInf, 10.0, 0.0, 300.0, 1},
    {"huge latitudes beyond the table", 1e300, 0.0, 1e300, 5.0, 300.0, 0},
};

TEST(PositionsApartTest, TableOfCases) {
  for (const auto& c : kApartCases) {
    EXPECT_EQ(PositionsApart(c.lat1, c.lon1, c.lat2, c.lon2, c.limit), c.expected) << c.legend;
  }
}

// Halves of the mean latitude round upward before the sign is dropped, so
// +45.5 uses the 46-degree entry and -45.5 the 45-degree one.
TEST(PositionsApartTest, MeanLatitudeRoundsHalvesUpBeforeDroppingSign) {
  const double at45 = 78627.08158684;  // metres per degree at 45
  const double at46 = 77242.87451664;  // metres per degree at 46
  // A longitude step that is apart at 45 degrees but not at 46.
  const double limit = 1000.0;
  const double step = (limit / at45 + limit / at46) / 2.0;
  EXPECT_EQ(PositionsApart(45.5, 0.0, 45.5, step, limit), 0);
  EXPECT_EQ(PositionsApart(-45.5, 0.0, -45.5, step, limit), 1);
}

TEST(PositionsApartTest, ExactlyAtTheLimitIsNotApart) {
  const double metresPerDegree = 111195.48679259;
  EXPECT_EQ(PositionsApart(0.0, 0.0, 1.0, 0.0, metresPerDegree), 0);
  EXPECT_EQ(PositionsApart(0.0, 0.0, 1.0, 0.0, metresPerDegree - 0.001), 1);
}

}  // namespace
}  // namespace pathmere
