// pathmere-cli ports on pseudo-terminals linked as COM numbers: one that
// answers at one speed only, one that sends noise, one held by another
// program, one unplugged while it is probed.
#include "cli/ports_command.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "support/child_process.h"
#include "support/fake_receiver.h"
#include "support/logger_home.h"
#include "support/loopback_peers.h"
#include "support/nmea_builder.h"
#include "support/test_environment.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;

TEST(PortsCommandTest, ProbeFindsTheSpeedAndLeavesABusyDeviceAlone) {
  testing::LoggerHome home;
  testing::TalkingReceiver at38400(38400), noise(0), unplugged(0, 9600);
  testing::FakeReceiver held;
  testing::ChildProcess holder({"/bin/sh", "-c", "exec sleep 60 <\"$0\"", held.slaveName()});
  home.LinkPort(1, at38400.slaveName());
  home.LinkPort(2, noise.slaveName());
  home.LinkPort(3, held.slaveName());
  home.LinkPort(4, home.root() / "unplugged-long-ago");
  home.LinkPort(5, unplugged.slaveName());
  // Receivers on the network: a server that answers, one that is not there.
  testing::LoopbackServer server, gone;
  gone.Stop();
  std::ofstream(home.ports() / "COM6") << "tcp://127.0.0.1:" << server.port() << "\n";
  std::ofstream(home.ports() / "COM7") << "tcp://127.0.0.1:" << gone.port() << "\n";
  std::thread serve([&server] {
    if (!server.Accept(60000)) return;
    std::string fixes;
    for (int i = 0; i < 3; ++i)
      fixes += testing::Gga(43200.0 + i, 1.0) + "\r\n" + testing::Rmc({.timeOfDay = 43200.0 + i}) + "\r\n";
    server.Send(fixes);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));

  const auto result = testing::RunCommand(
      {PATHMERE_CLI_PATH, "ports", "--probe", "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7"},
      home.Environment("UTC"));
  serve.join();
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  const std::string sleeper = "sleep (pid " + std::to_string(holder.pid()) + ")";
  const std::string expected[] = {
      "COM1   " + (home.ports() / "COM1").string() + " -> " + at38400.slaveName() + ": present\n",
      "probe: answers at 38400 bit/s: talkers GN GP, sentences GGA RMC\n",
      "probe: no sentences with good checksums at any speed (",
      "open in " + sleeper + "\n         probe: busy, held by " + sleeper + ": not probed\n",
      "COM4   " + (home.ports() / "COM4").string() + ": missing\n",
      "probe: went away during the probe\n",
      "COM6   " + (home.ports() / "COM6").string() + ": network source tcp://127.0.0.1:" +
          std::to_string(server.port()) + "\n         probe: answers: talkers GP, sentences GGA RMC\n",
      "COM7   " + (home.ports() / "COM7").string() +
          ": network source tcp://127.0.0.1:" + std::to_string(gone.port()) +
          "\n         probe: cannot be opened: the NMEA server at 127.0.0.1:" + std::to_string(gone.port()) +
          ": Connection refused\n",
  };
  size_t at = 0;
  for (const std::string& line : expected) {
    const size_t found = result.out.find(line, at);
    EXPECT_NE(found, std::string::npos) << line << "\nin\n" << result.out;
    if (found != std::string::npos) at = found + line.size();
  }
  holder.Kill();
}

// Devices that no COM number reaches are found through their stable names
// and sysfs, and each gets the line that links it to the next free number.
TEST(PortsCommandTest, UnreachedDevicesGetTheLinkThatMakesThemACOMNumber) {
  testing::TempFolder root;
  testing::FakeReceiver gps, other;
  const fs::path dev = root.path() / "dev", sys = root.path() / "sys", ports = root.path() / "ports";
  const fs::path byId = dev / "serial" / "by-id" / "usb-u-blox_AG_-_www.u-blox.com_u-blox_GNSS_receiver-if00";
  fs::create_directories(byId.parent_path());
  fs::create_directories(dev / "serial" / "by-path");
  fs::create_symlink(gps.slaveName(), byId);
  fs::create_symlink(gps.slaveName(), dev / "serial" / "by-path" / "pci-0000:00:14.0-usb-0:2:1.0");
  // sysfs as the kernel lays it out for a USB modem-class receiver.
  const fs::path usb = sys / "devices" / "pci0000:00" / "usb1" / "1-2";
  const fs::path interface = usb / "1-2:1.0";
  fs::create_directories(interface / "tty");
  fs::create_directories(sys / "bus" / "usb" / "drivers" / "cdc_acm");
  fs::create_symlink(sys / "bus" / "usb" / "drivers" / "cdc_acm", interface / "driver");
  for (const auto& [name, value] : {std::pair{"idVendor", "1546"},
                                    {"idProduct", "01a8"},
                                    {"serial", "4711"},
                                    {"manufacturer", "u-blox AG - www.u-blox.com"},
                                    {"product", "u-blox GNSS receiver"}}) {
    std::ofstream(usb / name) << value << "\n";
  }
  const std::string ttyName = fs::path(gps.slaveName()).filename().string();
  fs::create_directories(interface / "tty" / ttyName);
  fs::create_directories(sys / "class" / "tty");
  fs::create_symlink(interface / "tty" / ttyName, sys / "class" / "tty" / ttyName);
  fs::create_symlink(interface, interface / "tty" / ttyName / "device");
  // COM0 taken by a link, COM1 by a device of the default table.
  fs::create_directories(ports);
  fs::create_symlink(other.slaveName(), ports / "COM0");
  std::ofstream(dev / "ttyUSB1") << "";
  // A receiver on the network is listed as such, never probed as a device.
  std::ofstream(ports / "COM9") << "udp://0.0.0.0:10110\n";

  const SerialDeviceSurvey survey(ports, dev, sys);
  const SerialDeviceInfo info = survey.Describe(byId);
  EXPECT_EQ(info.node, fs::path(gps.slaveName()));
  EXPECT_EQ(info.driver, "cdc_acm");
  EXPECT_EQ(info.usbVendor + ":" + info.usbProduct + " " + info.usbSerial, "1546:01a8 4711");
  EXPECT_EQ(info.ShortName("/dev"),
            fs::path(gps.slaveName()).lexically_relative("/dev").string() + " u-blox GNSS receiver");
  EXPECT_EQ(survey.PortReaching(fs::path(other.slaveName())), 0);
  EXPECT_EQ(survey.PortReaching(info.node), -1);

  char* text = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&text, &size);
  ASSERT_EQ(RunPortsCommand(PortsArguments{}, survey, out), 0);
  std::fclose(out);
  const std::string listed(text, size);
  std::free(text);
  EXPECT_NE(
      listed.find("Serial devices no COM number reaches:\n  " + info.ShortName(dev) + "\n         ln -s " +
                  byId.string() + " " + (ports / "COM2").string() + "\n         by-id   " + byId.string() +
                  "\n         by-path " + (dev / "serial/by-path/pci-0000:00:14.0-usb-0:2:1.0").string() +
                  "\n         driver cdc_acm, USB 1546:01a8 \"u-blox AG - www.u-blox.com\" \"u-blox GNSS "
                  "receiver\" serial 4711\n"),
      std::string::npos)
      << listed;
  EXPECT_NE(listed.find("COM9   " + (ports / "COM9").string() + ": network source udp://0.0.0.0:10110\n"),
            std::string::npos)
      << listed;
  for (const fs::path& device : survey.DevicesToProbe()) EXPECT_NE(device.filename(), "COM9");
  EXPECT_TRUE(survey.LinkPort(2, info.LinkTarget()));
  EXPECT_EQ(survey.PortReaching(info.node), 2);
  EXPECT_EQ(survey.FreePort(), 3);
}

}  // namespace
}  // namespace pathmere
