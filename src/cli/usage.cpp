#include "cli/usage.h"

namespace pathmere {

void PrintUsage(std::FILE* stream) {
  std::fputs(
      "Usage:\n"
      "  pathmere-cli replay FILE... --output DIR [--status]\n"
      "      Replay recorded NMEA files into per-day track (.plt) and route (.rte)\n"
      "      files in DIR, as the desktop program's \"Read NMEA file\" does. The\n"
      "      message log is written to standard output; --status also shows the\n"
      "      status area on standard error. Exit status: 0, 1 if a FILE could not\n"
      "      be opened, 2 for unusable arguments.\n"
      "  pathmere-cli --help\n"
      "      Show this text.\n",
      stream);
}

}  // namespace pathmere
