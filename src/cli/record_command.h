#pragma once

#include "cli/command_line.h"

namespace pathmere {

// pathmere-cli record [--port N|none | --device PATH] [--speed BPS] [--output DIR]
//                     [--nmea-log] [--gps-only] [--status|--no-status] [--flush-every SECONDS]
// The live logger without a window. Returns the exit status.
int RunRecordCommand(const RecordArguments& args);

}  // namespace pathmere
