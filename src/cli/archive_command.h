#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "archive/archive_index.h"

namespace pathmere {

// pathmere-cli archive index [--output DIR]...
// pathmere-cli archive here LAT,LON [--radius METRES] [--output DIR]... [--json]
// pathmere-cli archive here --box SOUTH,WEST,NORTH,EAST [--output DIR]... [--json]
// pathmere-cli archive totals [--by year|month] [--output DIR]... [--json]
struct ArchiveArguments {
  enum class Action { kIndex, kHere, kTotals };
  Action action = Action::kIndex;
  std::vector<std::string> outputDirs;  // else the saved output folder
  bool json = false;
  ArchiveArea area;      // kHere
  bool byMonth = false;  // kTotals
};

// Reads the arguments after "archive"; false with `error` naming the
// argument when they are unusable. Sets `help` for --help.
bool ParseArchiveArguments(int argc, const char* const argv[], ArchiveArguments* args, bool* help,
                           std::string* error);

// Brings the archive index (archive/archive_index.h) up to date with the
// day files of each DIR (or the saved output folder), with a progress line
// when `err` is a terminal, then answers. Exit status 0; 1 when the index
// or a folder cannot be read; 2 when a DIR is not a folder.
int RunArchiveCommand(const ArchiveArguments& args, FILE* out, FILE* err);

}  // namespace pathmere
