#pragma once

#include <filesystem>
#include <string>

namespace pathmere::testing {

// The GPX 1.1 schema that scripts/fetch-gpx-schema.sh puts in place
// ($PATHMERE_GPX_SCHEMA, else ~/.cache/pathmere-tests/Topografix_gpx11.xsd);
// empty when it is not there.
std::filesystem::path GpxSchema();

// Whether `gpx` is a valid GPX 1.1 document: `xmllint --noout --nonet
// --schema`. Without the schema, only well-formed XML is checked, unless
// PATHMERE_REQUIRE_GPX_SCHEMA is set, which makes that a failure.
bool GpxIsValid(const std::filesystem::path& gpx, std::string* problem);

// Checks every day of `folder`: each .plt has its .gpx, valid, with as many
// track points, each at the .plt line's position and time (and altitude) to
// the .plt's precision, and GPSBabel (`-i gpx`) and gpxpy (where installed)
// read as many track points and waypoints (the .wpt's lines). Returns how
// many .gpx files were checked.
int ExpectGpxMatchesOziFiles(const std::filesystem::path& folder);

// What a SIGKILL left of a day's GPX file, as the next start mends it, and
// the day's .plt: "" when the GPX file is ours and mendable and holds every
// whole point line of the .plt, in order, at its time (it may hold a few more:
// it is written just before the .plt); else the problem.
std::string CheckKilledGpx(const std::string& gpx, const std::string& plt);

// Track points ("<trkpt") of a GPX document.
int GpxTrackPoints(const std::string& document);

}  // namespace pathmere::testing
