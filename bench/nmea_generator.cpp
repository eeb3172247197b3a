// pathmere-nmea-gen: writes what a 1 Hz GPS receiver in a car would send
// over days, for measuring replays of realistic size.
//
//   pathmere-nmea-gen [--days N] [--seed S] --out FILE
//
// Every second: GGA, GSA, three GSV, RMC and VTG, with correct checksums and
// CR LF line ends. The drive has turns, speed changes and stops, a few
// bursts without a fix, a few position jumps of several kilometres and a few
// damaged checksums; it starts at 20:00 UTC, so every day crosses a UTC
// midnight. The same seed gives the same bytes.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMetresPerDegree = 111320.0;
constexpr double kKnotsPerKmh = 1.0 / 1.852;

// splitmix64: small, fast, and the same sequence everywhere.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // Uniform in [0, 1).
  double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
  double Between(double low, double high) { return low + (high - low) * Unit(); }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }
  bool Chance(double p) { return Unit() < p; }

 private:
  uint64_t state_;
};

class Output {
 public:
  explicit Output(std::FILE* file) : file_(file) {}

  // Appends "$" body "*hh" CR LF; `damage` makes the checksum wrong.
  void Sentence(const char* body, bool damage) {
    unsigned sum = 0;
    for (const char* p = body; *p != '\0'; ++p) sum ^= static_cast<unsigned char>(*p);
    if (damage) sum ^= 0x21;
    std::fprintf(file_, "$%s*%02X\r\n", body, sum);
    ++sentences_;
    if (damage) ++damaged_;
  }

  long sentences() const { return sentences_; }
  long damaged() const { return damaged_; }

 private:
  std::FILE* file_;
  long sentences_ = 0;
  long damaged_ = 0;
};

// ddmm.mmmm / dddmm.mmmm with hemisphere letter.
void FormatAngle(char* out, size_t size, double degrees, int degreeDigits, char positive, char negative) {
  const char hemisphere = degrees < 0 ? negative : positive;
  double value = std::fabs(degrees);
  int whole = static_cast<int>(value);
  double minutes = (value - whole) * 60.0;
  // Keep "60.0000" from appearing after rounding.
  if (minutes >= 59.99995) {
    minutes = 0.0;
    ++whole;
  }
  std::snprintf(out, size, "%0*d%07.4f,%c", degreeDigits, whole, minutes, hemisphere);
}

struct Vehicle {
  double latitude = 48.137;  // a city start, 48 N 11 E
  double longitude = 11.575;
  double homeLatitude = 48.137;
  double homeLongitude = 11.575;
  double speedKmh = 0.0;
  double targetKmh = 50.0;
  double course = 90.0;
  double turnRate = 0.0;  // degrees per second
  int turnLeft = 0;       // seconds of the current turn
  int stopLeft = 0;       // seconds still standing
  int cruiseLeft = 120;   // seconds until the next change of target speed
  double altitude = 520.0;
};

void Move(Vehicle& v, Random& random) {
  if (v.stopLeft > 0) {
    --v.stopLeft;
    v.speedKmh = 0.0;
    return;
  }
  if (--v.cruiseLeft <= 0) {
    v.cruiseLeft = 30 + random.Below(600);
    const int kind = random.Below(10);
    if (kind < 2) {
      v.targetKmh = 0.0;  // slow down to a stop: junction, lights, parking
    } else if (kind < 5) {
      v.targetKmh = random.Between(20.0, 55.0);
    } else if (kind < 8) {
      v.targetKmh = random.Between(60.0, 100.0);
    } else {
      v.targetKmh = random.Between(110.0, 150.0);
    }
  }
  // Accelerate at up to 2.5 km/h per second, brake at up to 5.
  const double change = v.targetKmh - v.speedKmh;
  v.speedKmh += std::fmax(-5.0, std::fmin(2.5, change));
  if (v.speedKmh <= 0.0) {
    v.speedKmh = 0.0;
    if (v.targetKmh == 0.0) {
      v.stopLeft = 20 + random.Below(random.Chance(0.1) ? 3600 : 240);
      v.targetKmh = random.Between(30.0, 80.0);
    }
  }
  if (v.turnLeft > 0) {
    --v.turnLeft;
    v.course += v.turnRate;
  } else if (random.Chance(0.02)) {
    // A turn of 30 to 120 degrees over a few seconds, more often towards
    // home when far from it, so the drive stays in one region.
    const double bearingHome =
        std::atan2((v.homeLongitude - v.longitude) * std::cos(v.latitude * kPi / 180.0),
                   v.homeLatitude - v.latitude) *
        180.0 / kPi;
    const double distance = std::hypot(v.homeLatitude - v.latitude, v.homeLongitude - v.longitude);
    double difference = std::remainder(bearingHome - v.course, 360.0);
    double angle = random.Between(30.0, 120.0);
    if (distance > 0.5 ? difference < 0 : random.Chance(0.5)) angle = -angle;
    v.turnLeft = 3 + random.Below(6);
    v.turnRate = angle / v.turnLeft;
  } else {
    v.course += random.Between(-1.0, 1.0);  // the road bends a little
  }
  v.course = std::fmod(v.course + 360.0, 360.0);
  const double metres = v.speedKmh / 3.6;
  v.latitude += metres * std::cos(v.course * kPi / 180.0) / kMetresPerDegree;
  v.longitude +=
      metres * std::sin(v.course * kPi / 180.0) / (kMetresPerDegree * std::cos(v.latitude * kPi / 180.0));
  v.altitude = std::fmin(900.0, std::fmax(300.0, v.altitude + random.Between(-0.5, 0.5)));
}

struct Sky {
  int prn[12];
  int elevation[12];
  int azimuth[12];
  int snr[12];
};

void DriftSky(Sky& sky, Random& random, bool first) {
  for (int i = 0; i < 12; ++i) {
    if (first || random.Chance(0.0005)) {
      sky.prn[i] = 1 + (i * 3 + random.Below(3)) % 32;
      sky.elevation[i] = 5 + random.Below(80);
      sky.azimuth[i] = random.Below(360);
    }
    sky.snr[i] = first ? 30 + random.Below(20) : std::max(20, std::min(50, sky.snr[i] + random.Below(3) - 1));
  }
}

int Usage() {
  std::fprintf(stderr, "usage: pathmere-nmea-gen [--days N] [--seed S] --out FILE\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  long days = 4;
  uint64_t seed = 20240309;
  const char* outPath = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--days") == 0 && i + 1 < argc) {
      days = std::strtol(argv[++i], nullptr, 10);
    } else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
      seed = std::strtoull(argv[++i], nullptr, 10);
    } else if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
      outPath = argv[++i];
    } else {
      return Usage();
    }
  }
  if (outPath == nullptr || days < 1 || days > 366) return Usage();
  std::FILE* file = std::fopen(outPath, "wb");
  if (file == nullptr) {
    std::fprintf(stderr, "pathmere-nmea-gen: %s: %s\n", outPath, std::strerror(errno));
    return 1;
  }
  static char fileBuffer[1 << 16];
  std::setvbuf(file, fileBuffer, _IOFBF, sizeof fileBuffer);

  Random random(seed);
  Output out(file);
  Vehicle vehicle;
  Sky sky{};
  DriftSky(sky, random, true);

  // 2024-03-09 20:00:00 UTC.
  const int64_t startDay = 19791;
  const int64_t startSecond = 20 * 3600;
  const int64_t seconds = days * 86400;
  int noFixLeft = 0;
  int jumpLeft = 0;
  double jumpNorth = 0.0, jumpEast = 0.0;
  long noFixBursts = 0, jumps = 0;

  char body[200], lat[32], lon[32];
  for (int64_t t = 0; t < seconds; ++t) {
    const int64_t absolute = startSecond + t;
    const std::time_t when = static_cast<std::time_t>((startDay * 86400) + absolute);
    std::tm date{};
    gmtime_r(&when, &date);
    const int secondOfDay = static_cast<int>(absolute % 86400);
    const int hour = secondOfDay / 3600, minute = secondOfDay / 60 % 60, second = secondOfDay % 60;

    Move(vehicle, random);
    DriftSky(sky, random, false);
    if (noFixLeft == 0 && random.Chance(1.0 / 20000)) {
      noFixLeft = 5 + random.Below(90);  // a tunnel, a car park
      ++noFixBursts;
    }
    if (jumpLeft == 0 && noFixLeft == 0 && random.Chance(1.0 / 25000)) {
      jumpLeft = 1 + random.Below(4);  // a multipath outlier of a few seconds
      const double kilometres = random.Between(3.0, 9.0);
      const double direction = random.Between(0.0, 2 * kPi);
      jumpNorth = kilometres * 1000.0 * std::cos(direction);
      jumpEast = kilometres * 1000.0 * std::sin(direction);
      ++jumps;
    }
    const bool fix = noFixLeft == 0;
    double latitude = vehicle.latitude, longitude = vehicle.longitude;
    double hdop = 0.8 + 0.1 * random.Below(6);
    if (jumpLeft > 0) {
      latitude += jumpNorth / kMetresPerDegree;
      longitude += jumpEast / (kMetresPerDegree * std::cos(latitude * kPi / 180.0));
      hdop = random.Between(2.0, 6.0);
    }
    const int satellites = fix ? 6 + random.Below(6) : 0;
    // A real receiver's speed and course jitter a little even when standing.
    const double speedKnots = vehicle.speedKmh * kKnotsPerKmh + (fix ? random.Between(0.0, 0.05) : 0);
    const double altitude = vehicle.altitude + random.Between(-2.0, 2.0);
    FormatAngle(lat, sizeof lat, latitude, 2, 'N', 'S');
    FormatAngle(lon, sizeof lon, longitude, 3, 'E', 'W');
    const auto damage = [&random] { return random.Chance(1.0 / 100000); };

    if (fix) {
      std::snprintf(body, sizeof body, "GPGGA,%02d%02d%02d.00,%s,%s,1,%02d,%.1f,%.1f,M,47.6,M,,", hour,
                    minute, second, lat, lon, satellites, hdop, altitude);
    } else {
      std::snprintf(body, sizeof body, "GPGGA,%02d%02d%02d.00,,,,,0,00,99.99,,,,,,", hour, minute, second);
    }
    out.Sentence(body, damage());

    if (fix) {
      std::snprintf(body, sizeof body, "GPGSA,A,3,%02d,%02d,%02d,%02d,%02d,%02d,%02d,%02d,,,,,%.1f,%.1f,%.1f",
                    sky.prn[0], sky.prn[1], sky.prn[2], sky.prn[3], sky.prn[4], sky.prn[5], sky.prn[6],
                    sky.prn[7], hdop * 1.6, hdop, hdop * 1.3);
    } else {
      std::snprintf(body, sizeof body, "GPGSA,A,1,,,,,,,,,,,,,99.99,99.99,99.99");
    }
    out.Sentence(body, damage());

    for (int page = 0; page < 3; ++page) {
      int n = std::snprintf(body, sizeof body, "GPGSV,3,%d,12", page + 1);
      for (int k = page * 4; k < page * 4 + 4; ++k) {
        const int snr = fix ? sky.snr[k] : 0;
        n += std::snprintf(body + n, sizeof body - static_cast<size_t>(n), ",%02d,%02d,%03d,", sky.prn[k],
                           sky.elevation[k], sky.azimuth[k]);
        if (snr > 0) n += std::snprintf(body + n, sizeof body - static_cast<size_t>(n), "%02d", snr);
      }
      out.Sentence(body, damage());
    }

    if (fix) {
      std::snprintf(body, sizeof body, "GPRMC,%02d%02d%02d.00,A,%s,%s,%.3f,%.2f,%02d%02d%02d,,,A", hour,
                    minute, second, lat, lon, speedKnots, vehicle.course, date.tm_mday, date.tm_mon + 1,
                    date.tm_year % 100);
    } else {
      std::snprintf(body, sizeof body, "GPRMC,%02d%02d%02d.00,V,,,,,,,%02d%02d%02d,,,N", hour, minute, second,
                    date.tm_mday, date.tm_mon + 1, date.tm_year % 100);
    }
    out.Sentence(body, damage());

    if (fix) {
      std::snprintf(body, sizeof body, "GPVTG,%.2f,T,,M,%.3f,N,%.3f,K,A", vehicle.course, speedKnots,
                    speedKnots * 1.852);
    } else {
      std::snprintf(body, sizeof body, "GPVTG,,T,,M,,N,,K,N");
    }
    out.Sentence(body, damage());

    if (noFixLeft > 0) --noFixLeft;
    if (jumpLeft > 0) --jumpLeft;
  }
  if (std::fclose(file) != 0) {
    std::fprintf(stderr, "pathmere-nmea-gen: %s: %s\n", outPath, std::strerror(errno));
    return 1;
  }
  std::fprintf(stderr,
               "pathmere-nmea-gen: %ld days, %ld sentences (%ld with a bad checksum), %ld no-fix "
               "bursts, %ld jumps\n",
               days, out.sentences(), out.damaged(), noFixBursts, jumps);
  return 0;
}
