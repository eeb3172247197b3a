#pragma once

#include <filesystem>
#include <string_view>

namespace pathmere {

// Replaces the whole content of `file` so that a crash or a power cut leaves
// either the old file or the new one, never a mixture: the bytes go to a
// temporary file in the same folder, are synced, renamed over the file, and
// the folder is synced. A file reached through a symbolic link is replaced
// where it is, and the link stays a link. False when the new file could not
// be put in place; the old one is then untouched and no temporary file is
// left behind.
bool WriteFileAtomically(const std::filesystem::path& file, std::string_view content);

}  // namespace pathmere
