#include "platform/source_address.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/test_environment.h"

namespace pathmere {
namespace {

using Kind = SourceAddress::Kind;

TEST(SourceAddressTest, AddressesAsUsersWriteThem) {
  struct Case {
    const char* legend;
    const char* text;
    Kind kind;
    const char* host;
    const char* port;
    const char* device;
  };
  const Case cases[] = {
      {"gpsd on this machine by default", "gpsd://", Kind::kGpsd, "127.0.0.1", "2947", ""},
      {"gpsd elsewhere, its own port", "gpsd://pi.local:2948", Kind::kGpsd, "pi.local", "2948", ""},
      {"gpsd, one device of several", "gpsd://127.0.0.1:2947/dev/ttyACM0", Kind::kGpsd, "127.0.0.1", "2947",
       "/dev/ttyACM0"},
      {"gpsd device without a port", "gpsd://host/dev/rfcomm0", Kind::kGpsd, "host", "2947", "/dev/rfcomm0"},
      {"a boat's gateway", "tcp://192.168.4.1:10110", Kind::kTcp, "192.168.4.1", "10110", ""},
      {"IPv6 in brackets", "tcp://[::1]:10110", Kind::kTcp, "::1", "10110", ""},
      {"UDP without an address stays on loopback", "udp://:10110", Kind::kUdp, "127.0.0.1", "10110", ""},
      {"UDP on every interface, as written", "udp://0.0.0.0:10110", Kind::kUdp, "0.0.0.0", "10110", ""},
      {"UDP on IPv6", "udp://[::]:2000", Kind::kUdp, "::", "2000", ""},
  };
  for (const Case& c : cases) {
    SourceAddress address;
    std::string problem;
    ASSERT_TRUE(ParseSourceAddress(c.text, &address, &problem)) << c.legend << ": " << problem;
    EXPECT_EQ(address.kind, c.kind) << c.legend;
    EXPECT_EQ(address.host, c.host) << c.legend;
    EXPECT_EQ(address.port, c.port) << c.legend;
    EXPECT_EQ(address.device, c.device) << c.legend;
    EXPECT_EQ(address.text, c.text) << c.legend;
  }
  SourceAddress v6;
  std::string ignored;
  ASSERT_TRUE(ParseSourceAddress("tcp://[fe80::1]:10110", &v6, &ignored));
  EXPECT_EQ(v6.HostAndPort(), "[fe80::1]:10110");
}

TEST(SourceAddressTest, UnusableAddressesSayWhy) {
  struct Case {
    const char* text;
    const char* problem;
  };
  const Case cases[] = {
      {"/dev/ttyUSB0", "not gpsd://HOST[:PORT][/DEVICE], tcp://HOST:PORT or udp://[ADDRESS]:PORT"},
      {"TCP://gw:10110", "not gpsd://HOST[:PORT][/DEVICE], tcp://HOST:PORT or udp://[ADDRESS]:PORT"},
      {"tcp://gw", "tcp:// needs a port (10110 is the usual one)"},
      {"tcp://:10110", "tcp:// needs a host"},
      {"udp://0.0.0.0", "udp:// needs a port (10110 is the usual one)"},
      {"tcp://gw:0", "the port must be a number from 1 to 65535"},
      {"tcp://gw:65536", "the port must be a number from 1 to 65535"},
      {"tcp://gw:10110x", "the port must be a number from 1 to 65535"},
      {"tcp://gw:", "the port must be a number from 1 to 65535"},
      {"tcp://::1:10110", "an IPv6 address must be written in brackets: [::1]:10110"},
      {"tcp://[::1:10110", "an IPv6 address without its closing ]"},
      {"tcp://user@gw:10110", "not a host name"},
      {"tcp://gw:10110/dev/ttyUSB0", "only a gpsd address names a device"},
      {"gpsd://host:2947/", "not a device path"},
      {"gpsd://host:2947/dev/\"x", "not a device path"},
  };
  for (const Case& c : cases) {
    SourceAddress address;
    std::string problem;
    EXPECT_FALSE(ParseSourceAddress(c.text, &address, &problem)) << c.text;
    EXPECT_EQ(problem, c.problem) << c.text;
  }
}

// The COMn file as an editor leaves it: a line end, blanks, a second line.
TEST(SourceAddressTest, SourceFileIsItsFirstLine) {
  testing::TempFolder folder;
  struct Case {
    const char* content;
    bool usable;
    const char* textOrProblem;
  };
  const Case cases[] = {
      {"tcp://192.168.4.1:10110\n", true, "tcp://192.168.4.1:10110"},
      {"  gpsd://\r\nthe boat's gpsd\n", true, "gpsd://"},
      {"udp://0.0.0.0:10110", true, "udp://0.0.0.0:10110"},
      {"", false, "is empty: its first line should be an address"},
      {"\n\ntcp://gw:1\n", false, "is empty: its first line should be an address"},
      {"tcp://gw\n", false, "tcp:// needs a port (10110 is the usual one)"},
  };
  const auto file = folder.path() / "COM5";
  for (const Case& c : cases) {
    std::ofstream(file, std::ios::trunc) << c.content;
    ASSERT_TRUE(IsSourceFile(file));
    SourceAddress address;
    std::string problem;
    EXPECT_EQ(ReadSourceFile(file, &address, &problem), c.usable) << c.content;
    EXPECT_EQ(c.usable ? address.text : problem, c.textOrProblem) << c.content;
  }
  EXPECT_FALSE(IsSourceFile(folder.path()));
  EXPECT_FALSE(IsSourceFile(folder.path() / "COM6"));
  EXPECT_FALSE(IsSourceFile("/dev/null"));
}

}  // namespace
}  // namespace pathmere
