#pragma once

#include <cstdio>

#include "cli/command_line.h"
#include "platform/serial_devices.h"

namespace pathmere {

// pathmere-cli ports [--probe] [COMn|DEVICE...]
// COM0 to COM15 with the device each opens and what the machine tells about
// it, then the serial devices no COM number reaches, each with the line that
// links it; --probe also listens to each present device at the usual speeds.
// With names given, only those. Writes to `out`; returns the exit status.
int RunPortsCommand(const PortsArguments& args, const SerialDeviceSurvey& survey, std::FILE* out);

}  // namespace pathmere
