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
      "      be opened, 2 for unusable arguments or an output folder that cannot\n"
      "      be made.\n"
      "  pathmere-cli record [--port N|none] [--speed BPS] [--output DIR] [--nmea-log]\n"
      "                      [--status|--no-status] [--flush-every SECONDS]\n"
      "      Log from the GPS receiver on COMn, one tick a second, until SIGINT or\n"
      "      SIGTERM, which write out everything pending. Port, speed, NMEA log and\n"
      "      output folder come from the saved settings unless given here. COMn is\n"
      "      the link ~/.config/Brenix/ports/COMn if it exists, else COM0-3\n"
      "      /dev/ttyUSB0-3, COM4-7 /dev/ttyACM0-3, COM8-11 /dev/rfcomm0-3,\n"
      "      COM12-15 /dev/ttyS0-3. The status area is shown when standard output\n"
      "      is a terminal; elsewhere (a journal) a line tells each change of\n"
      "      state. --flush-every writes pending points to disk after SECONDS\n"
      "      instead of 5 minutes (7.3 for the route); 0 keeps those. Exit status\n"
      "      1 when pending data could not be written at the end.\n"
      "  pathmere-cli status\n"
      "      Print what the running Pathmere (desktop or record) is doing: its\n"
      "      status text, the port, the output folder, the day's files with\n"
      "      their sizes and points, when they were last written and what is\n"
      "      still in memory. Exit status 1 when no Pathmere is running.\n"
      "  pathmere-cli /wpth | /wpts | /noup | (nothing)\n"
      "      Send a command to the running Pathmere (desktop or record): /wpth and\n"
      "      /wpts mark a waypoint at the next fix (/wpts also shows the window),\n"
      "      no switch shows the window, /noup sends nothing. Exit status 1 when\n"
      "      no Pathmere is running.\n"
      "  pathmere-cli --help\n"
      "      Show this text.\n",
      stream);
}

}  // namespace pathmere
