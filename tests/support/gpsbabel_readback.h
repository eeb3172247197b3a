#pragma once

#include <filesystem>

namespace pathmere::testing {

// Reads every .plt, .rte and .wpt file in `folder` back through GPSBabel
// (`gpsbabel -i ozi -f FILE -o gpx -F -`), the way map programs see them, and
// expects every point line to come back: latitude and longitude within 1e-6
// degrees, altitude within 0.01 feet, time within a second of the line's own
// columns. Returns how many files were checked.
//
// Without GPSBabel the check is skipped, unless PATHMERE_REQUIRE_GPSBABEL is
// set (the test script sets it), in which case that is a failure.
int ExpectGpsBabelReadsBack(const std::filesystem::path& folder);

bool GpsBabelFound();

}  // namespace pathmere::testing
