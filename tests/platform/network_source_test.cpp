// Network sources on real sockets, loopback only: a test server or sender
// on 127.0.0.1 is the receiver's side.
#include "platform/network_source.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/receiver_port.h"
#include "support/fake_receiver.h"
#include "support/loopback_peers.h"
#include "support/test_environment.h"

namespace pathmere {
namespace {

using testing::LoopbackSender;
using testing::LoopbackServer;

SourceAddress Address(const std::string& text) {
  SourceAddress address;
  std::string problem;
  EXPECT_TRUE(ParseSourceAddress(text, &address, &problem)) << problem;
  return address;
}

// Reads as the capture step does, 1024 bytes at a time, until `size` bytes
// came or a read fails or stays empty ten times over.
std::string ReadUpTo(SerialPort& port, size_t size, int32_t* lastResult = nullptr) {
  std::string bytes;
  uint8_t buffer[1024];
  int32_t count = 0;
  for (int empty = 0; bytes.size() < size && empty < 10;) {
    count = port.ReadPort(buffer, sizeof buffer);
    if (count < 0) break;
    if (count == 0) ++empty;
    bytes.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(count));
  }
  if (lastResult != nullptr) *lastResult = count;
  return bytes;
}

std::string Pattern(size_t size, char seed) {
  std::string text;
  for (size_t i = 0; i < size; ++i) text += static_cast<char>(seed + i % 23);
  return text;
}

TEST(NetworkSourceTest, TcpIsRefusedWhileNoServerListensThenReadsItsStreamUntilItCloses) {
  LoopbackServer server;
  server.Stop();
  NetworkSource source;
  source.SetAddress(Address("tcp://127.0.0.1:" + std::to_string(server.port())));
  EXPECT_EQ(source.OpenPort(0, 4800), 6);
  EXPECT_EQ(source.lastErrno(), ECONNREFUSED);
  uint8_t byte = 0;
  EXPECT_EQ(source.ReadPort(&byte, 1), -1);

  ASSERT_TRUE(server.Listen());
  ASSERT_EQ(source.OpenPort(0, 4800), 0) << source.problem();
  ASSERT_TRUE(server.Accept(2000));
  const std::string stream = Pattern(5000, 'A');  // several reads' worth
  ASSERT_TRUE(server.Send(stream));
  EXPECT_EQ(ReadUpTo(source, stream.size()), stream);

  // Closed in mid-sentence: what came is kept, then a read error.
  ASSERT_TRUE(server.Send("$GPRMC,1234"));
  server.CloseClient();
  int32_t last = 0;
  EXPECT_EQ(ReadUpTo(source, 1 << 20, &last), "$GPRMC,1234");
  EXPECT_EQ(last, -2);
  EXPECT_NE(source.problem().find("the connection was closed"), std::string::npos) << source.problem();
}

// A listener whose queue is full drops the connection request, as a host
// that does not answer does: the open must not wait for it.
TEST(NetworkSourceTest, ConnectionThatDoesNotAnswerCountsAsOpeningAndReadsAsSilence) {
  LoopbackServer server;
  server.Stop();
  const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 0), 0);
  ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const std::string text = "tcp://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
  NetworkSource filler[2];  // one fills the queue; the next stays unanswered
  for (NetworkSource& one : filler) {
    one.SetAddress(Address(text));
    ASSERT_EQ(one.OpenPort(0, 0), 0);
  }
  NetworkSource source;
  source.SetAddress(Address(text));
  ASSERT_EQ(source.OpenPort(0, 0), 0) << source.problem();
  uint8_t buffer[16];
  for (int i = 0; i < 3; ++i) EXPECT_EQ(source.ReadPort(buffer, sizeof buffer), 0);
  source.ClosePort();
  close(listener);
}

TEST(NetworkSourceTest, UdpDatagramsArriveWholeAndInOrderFromSeveralSenders) {
  const int port = testing::FreeLoopbackPort(SOCK_DGRAM);
  NetworkSource source;
  // Without an address: loopback, which the senders reach.
  source.SetAddress(Address("udp://:" + std::to_string(port)));
  ASSERT_EQ(source.OpenPort(0, 0), 0) << source.problem();
  LoopbackSender first(port), second(port);
  const std::string big = Pattern(3000, 'a');  // larger than a read
  ASSERT_TRUE(first.Send(big));
  ASSERT_TRUE(second.Send("$GPGGA,second\r\n"));
  ASSERT_TRUE(first.Send("$GPRMC,first\r\n"));
  const std::string expected = big + "$GPGGA,second\r\n$GPRMC,first\r\n";
  EXPECT_EQ(ReadUpTo(source, expected.size()), expected);

  // A boat's network: a sentence a datagram. One read takes as many whole
  // datagrams as fit; the one that does not fit is continued by the next
  // read before any other; empty datagrams are nothing.
  std::string sentences;
  for (int i = 0; i < 40; ++i) {
    const std::string sentence = "$WIMWV," + std::to_string(100 + i) + ".0,R,5.1,N,A*00\r\n";
    ASSERT_TRUE((i % 2 == 0 ? first : second).Send(sentence));
    if (i % 10 == 0) {
      ASSERT_TRUE(first.Send(""));
    }
    sentences += sentence;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  uint8_t buffer[1024];
  const int32_t count = source.ReadPort(buffer, sizeof buffer);
  ASSERT_EQ(count, 1024);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer), 1024), sentences.substr(0, 1024));
  EXPECT_EQ(ReadUpTo(source, sentences.size() - 1024), sentences.substr(1024));
  EXPECT_EQ(source.droppedDatagrams(), 0u);

  // Another machine's address cannot be listened on.
  NetworkSource elsewhere;
  elsewhere.SetAddress(Address("udp://192.0.2.1:" + std::to_string(port)));
  EXPECT_EQ(elsewhere.OpenPort(0, 0), 8);
  EXPECT_EQ(elsewhere.lastErrno(), EADDRNOTAVAIL);
}

// gpsd's replies are JSON lines between the receiver's NMEA; cut anywhere by
// the reads, only the NMEA passes, byte for byte.
TEST(NetworkSourceTest, GpsdIsAskedForNmeaAndItsRepliesAreDropped) {
  LoopbackServer gpsd;
  NetworkSource source;
  source.SetAddress(Address("gpsd://127.0.0.1:" + std::to_string(gpsd.port()) + "/dev/ttyACM0"));
  ASSERT_EQ(source.OpenPort(0, 0), 0) << source.problem();
  ASSERT_TRUE(gpsd.Accept(2000));
  EXPECT_EQ(gpsd.Receive(2000), "?WATCH={\"enable\":true,\"nmea\":true,\"device\":\"/dev/ttyACM0\"}\n");

  const std::string rmc = "$GPRMC,033141.370,A,4231.8310,N,08807.3055,W,0.19,137.91,070804,,*15\r\n";
  const std::string gga =
      "$GPGGA,033141.370,4231.8310,N,08807.3055,W,1,06,1.6,221.9,M,-33.9,M,0.0,0000*7E\r\n";
  const std::string stream = "{\"class\":\"VERSION\",\"release\":\"3.22\"}\r\n" + rmc +
                             "{\"class\":\"DEVICES\",\"devices\":[" + Pattern(4000, 'a') + "]}\r\n" + gga +
                             "{\"class\":\"WATCH\"}\r\n" + rmc;
  ASSERT_TRUE(gpsd.Send(stream));
  EXPECT_EQ(ReadUpTo(source, 2 * rmc.size() + gga.size()), rmc + gga + rmc);
}

// COMn is whatever its entry says at each open: a link to a device, or a
// file naming a source.
TEST(NetworkSourceTest, ReceiverPortFollowsTheEntryInThePortsFolder) {
  testing::TempFolder folder;
  LoopbackServer server;
  testing::FakeReceiver receiver;
  std::filesystem::create_symlink(receiver.slaveName(), folder.path() / "COM1");
  std::ofstream(folder.path() / "COM2") << "tcp://127.0.0.1:" << server.port() << "\n";
  std::ofstream(folder.path() / "COM3") << "/dev/ttyUSB0\n";
  ReceiverPort port(folder.path());

  ASSERT_EQ(port.OpenPort(1, 4800), 0);
  EXPECT_FALSE(port.IsNetwork());
  receiver.Send("$GPGGA\r\n");
  EXPECT_EQ(ReadUpTo(port, 8), "$GPGGA\r\n");

  ASSERT_EQ(port.OpenPort(2, 4800), 0) << port.problem();
  EXPECT_TRUE(port.IsNetwork());
  EXPECT_EQ(port.devicePath(), "tcp://127.0.0.1:" + std::to_string(server.port()));
  ASSERT_TRUE(server.Accept(2000));
  ASSERT_TRUE(server.Send("$GPRMC\r\n"));
  EXPECT_EQ(ReadUpTo(port, 8), "$GPRMC\r\n");

  EXPECT_EQ(port.OpenPort(3, 4800), 1);
  EXPECT_EQ(port.problem(), (folder.path() / "COM3").string() +
                                ": not gpsd://HOST[:PORT][/DEVICE], tcp://HOST:PORT or udp://[ADDRESS]:PORT");
  EXPECT_EQ(port.devicePath(), (folder.path() / "COM3").string());

  port.UseSource(Address("tcp://127.0.0.1:" + std::to_string(server.port())));
  EXPECT_STREQ(port.FixedDeviceName(), ("tcp://127.0.0.1:" + std::to_string(server.port())).c_str());
  ASSERT_EQ(port.OpenPort(1, 4800), 0) << port.problem();
  EXPECT_TRUE(port.IsNetwork());
}

}  // namespace
}  // namespace pathmere
