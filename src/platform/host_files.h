#pragma once

#include <cstdint>

#include "platform/file_handle.h"

namespace pathmere {

// Opens a file chosen by the user by its host path (from a file dialog or the
// command line), read only, if it exists. Unlike the output files these are
// not device paths, and their length is whatever the host allows. On failure
// returns kInvalidFile and sets *error to errno.
FileHandle OpenHostFileForRead(const char* hostPath, uint32_t* error);

}  // namespace pathmere
