#pragma once

#include <memory>
#include <string>

#include "platform/instance_channel.h"

namespace pathmere {

// The collector's own channel in the user's runtime folder, beside the
// logger's: a collector may run where a logger runs, a second collector
// would fight the first for the broker's session, and `status` asks both.
// Null, with the reason in `problem`, where no runtime folder is usable.
std::unique_ptr<InstanceChannel> CollectorChannel(std::string* problem);

}  // namespace pathmere
