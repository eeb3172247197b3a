#include "cli/usage.h"

#include "app/program_version.h"

namespace pathmere {

void PrintUsage(std::FILE* stream) {
  std::fputs(
      "Usage:\n"
      "  pathmere-cli replay FILE... --output DIR [--status] [--gps-only]\n"
      "      Replay recorded NMEA files into per-day track (.plt) and route (.rte)\n"
      "      files in DIR, as the desktop program's \"Read NMEA file\" does. The\n"
      "      message log is written to standard output; --status also shows the\n"
      "      status area on standard error. Exit status: 0, 1 if a FILE could not\n"
      "      be opened, 2 for unusable arguments or an output folder that cannot\n"
      "      be made.\n"
      "  pathmere-cli record [--port N|none | --device PATH | --source ADDRESS]\n"
      "                      [--speed BPS] [--output DIR] [--nmea-log] [--gps-only]\n"
      "                      [--status|--no-status] [--flush-every SECONDS]\n"
      "      Log from the GPS receiver on COMn, one tick a second, until SIGINT or\n"
      "      SIGTERM, which write out everything pending. Port, speed, NMEA log and\n"
      "      output folder come from the saved settings unless given here. COMn is\n"
      "      the link ~/.config/Brenix/ports/COMn if it exists, else COM0-3\n"
      "      /dev/ttyUSB0-3, COM4-7 /dev/ttyACM0-3, COM8-11 /dev/rfcomm0-3,\n"
      "      COM12-15 /dev/ttyS0-3; --device opens PATH (a /dev/serial/by-id/\n"
      "      name, say) without a COM number. A receiver on the network is read\n"
      "      with --source, or through a COMn file (not a link) whose first line\n"
      "      is its ADDRESS: gpsd://HOST[:PORT][/DEVICE] (gpsd's NMEA, default\n"
      "      127.0.0.1:2947), tcp://HOST:PORT (an NMEA server, such as a boat's\n"
      "      gateway or a phone app) or udp://[ADDRESS]:PORT (NMEA datagrams; on\n"
      "      127.0.0.1 unless an address such as 0.0.0.0 is written). The status\n"
      "      area is shown when standard output is a terminal; elsewhere (a\n"
      "      journal) a line tells each change of state. --flush-every writes\n"
      "      pending points to disk after SECONDS instead of 5 minutes (7.3 for\n"
      "      the route); 0 keeps those. Exit status 1 when pending data could not\n"
      "      be written at the end.\n"
      "      Receivers that send GN, GL, GA, GB, GQ or BD sentences instead of GP\n"
      "      ones are read too, until the first GPS RMC sentence arrives;\n"
      "      --gps-only (or the saved \"GPS sentences only\") reads GP alone.\n"
      "  pathmere-cli ports [--probe] [COMn|DEVICE...]\n"
      "      List COM0-COM15 with the device each opens, its stable names, driver,\n"
      "      USB identity, group and whether you may open it, then the serial\n"
      "      devices no COM number reaches with the ln -s line that links one;\n"
      "      a COMn file shows its network address.\n"
      "      --probe also listens to each present device at 4800 to 115200 bit/s\n"
      "      and tells at which speed good sentences arrive (a device another\n"
      "      program holds is left alone), and to each network source as it is.\n"
      "      With names, only those.\n"
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
      "      Show this text.\n"
      "  pathmere-cli --version\n"
      "      Show the version.\n",
      stream);
}

void PrintVersion(std::FILE* stream) { std::fprintf(stream, "pathmere-cli %s\n", ProgramVersion()); }

}  // namespace pathmere
