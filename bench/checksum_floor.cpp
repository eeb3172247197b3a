// pathmere-checksum-floor: the least a program can do that looks at every
// byte of an NMEA log: cut it into lines and check each sentence's checksum.
// Its time is the floor against which a replay is measured.
//
//   pathmere-checksum-floor FILE
//
// Prints the number of lines, of good checksums and of bad or missing ones.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr size_t kBlock = 1 << 16;

int HexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

struct Counts {
  long lines = 0;
  long good = 0;
  long bad = 0;
};

// One line without its line end: "$" body "*" two hex digits.
void CheckLine(const unsigned char* line, size_t length, Counts& counts) {
  ++counts.lines;
  const auto* dollar = static_cast<const unsigned char*>(std::memchr(line, '$', length));
  if (dollar == nullptr) return;
  const unsigned char* end = line + length;
  unsigned sum = 0;
  const unsigned char* p = dollar + 1;
  while (p < end && *p != '*') sum ^= *p++;
  if (end - p >= 3 && HexValue(p[1]) >= 0 && HexValue(p[2]) >= 0 &&
      static_cast<unsigned>(HexValue(p[1]) * 16 + HexValue(p[2])) == sum) {
    ++counts.good;
  } else {
    ++counts.bad;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: pathmere-checksum-floor FILE\n");
    return 2;
  }
  const int fd = open(argv[1], O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    std::fprintf(stderr, "pathmere-checksum-floor: %s: %s\n", argv[1], std::strerror(errno));
    return 1;
  }
  // A line cut by the end of a block is moved to the front and completed by
  // the next read; a line longer than a whole block is checked in pieces.
  static unsigned char buffer[2 * kBlock];
  size_t kept = 0;
  Counts counts;
  for (;;) {
    const ssize_t n = read(fd, buffer + kept, kBlock);
    if (n < 0) {
      if (errno == EINTR) continue;
      std::fprintf(stderr, "pathmere-checksum-floor: %s: %s\n", argv[1], std::strerror(errno));
      return 1;
    }
    const unsigned char* p = buffer;
    const unsigned char* end = buffer + kept + static_cast<size_t>(n);
    if (n == 0) {
      if (end > p) CheckLine(p, static_cast<size_t>(end - p), counts);
      break;
    }
    for (;;) {
      const auto* lf = static_cast<const unsigned char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
      if (lf == nullptr) break;
      const unsigned char* lineEnd = lf > p && lf[-1] == '\r' ? lf - 1 : lf;
      CheckLine(p, static_cast<size_t>(lineEnd - p), counts);
      p = lf + 1;
    }
    kept = static_cast<size_t>(end - p);
    if (kept >= kBlock) {
      CheckLine(p, kept, counts);
      kept = 0;
    } else {
      std::memmove(buffer, p, kept);
    }
  }
  close(fd);
  std::printf("%ld lines, %ld good checksums, %ld bad or missing\n", counts.lines, counts.good, counts.bad);
  return 0;
}
