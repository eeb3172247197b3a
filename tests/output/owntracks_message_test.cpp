#include "output/owntracks_message.h"

#include <gtest/gtest.h>

#include <string>

#include "output/owntracks_location.h"
#include "support/writer_bench.h"

namespace pathmere {
namespace {

constexpr const char* kGood = R"({"_type":"location","lat":52.3705,"lon":-4.9094,"tst":1796655969,"alt":3})";

// Topics and payloads the collector meets; only the first row is used.
TEST(OwnTracksMessageTest, TopicAndPayloadChecks) {
  const std::string huge(kLargestMessage + 1, ' ');
  struct Row {
    const char* legend;
    std::string topic;
    std::string payload;
    MessageProblem problem;
  };
  const Row rows[] = {
      {"a location", "owntracks/car/van7", kGood, MessageProblem::kNone},
      {"dot dot as user", "owntracks/../van7", kGood, MessageProblem::kTopic},
      {"dot as device", "owntracks/car/.", kGood, MessageProblem::kTopic},
      {"a deeper topic", "owntracks/car/van7/event", kGood, MessageProblem::kTopic},
      {"an empty part", "owntracks//van7", kGood, MessageProblem::kTopic},
      {"a backslash", "owntracks/car/van\\7", kGood, MessageProblem::kTopic},
      {"bytes above 0x7F", "owntracks/car/v\xC3\xA4n", kGood, MessageProblem::kTopic},
      {"a part beyond 64 bytes", "owntracks/car/" + std::string(65, 'x'), kGood, MessageProblem::kTopic},
      {"another prefix", "owntrack/car/van7", kGood, MessageProblem::kTopic},
      {"1 MB of payload", "owntracks/car/van7", huge, MessageProblem::kTooLarge},
      {"not JSON", "owntracks/car/van7", "lat=1", MessageProblem::kNotJson},
      {"JSON but no object", "owntracks/car/van7", "[1,2]", MessageProblem::kNotJson},
      {"binary noise", "owntracks/car/van7", std::string("\0\xff\x01", 3), MessageProblem::kNotJson},
      {"a last will", "owntracks/car/van7", R"({"_type":"lwt","tst":1})", MessageProblem::kNotLocation},
      {"no _type", "owntracks/car/van7", R"({"lat":1,"lon":2,"tst":1796655969})",
       MessageProblem::kNotLocation},
      {"no tst", "owntracks/car/van7", R"({"_type":"location","lat":1,"lon":2})", MessageProblem::kMissing},
      {"lat as text", "owntracks/car/van7", R"({"_type":"location","lat":"1","lon":2,"tst":1796655969})",
       MessageProblem::kMissing},
      {"lat beyond the pole", "owntracks/car/van7",
       R"({"_type":"location","lat":90.5,"lon":2,"tst":1796655969})", MessageProblem::kAbsurd},
      {"a huge number", "owntracks/car/van7", R"({"_type":"location","lat":1e400,"lon":2,"tst":1796655969})",
       MessageProblem::kNotJson},
      {"tst before 2000", "owntracks/car/van7", R"({"_type":"location","lat":1,"lon":2,"tst":946684799})",
       MessageProblem::kAbsurd},
      {"tst from 2100", "owntracks/car/van7", R"({"_type":"location","lat":1,"lon":2,"tst":4102444800})",
       MessageProblem::kAbsurd},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(DecodeOwnTracksMessage(row.topic, row.payload).problem, row.problem) << row.legend;
  }
}

TEST(OwnTracksMessageTest, ReadsBackWhatTheLoggerPublishes) {
  GpsFix fix = testing::FixAt(29, 2, 24, 23, 59, 44.0, -33.8568, -151.2153, 12.4);
  fix.speed = 80.2;
  fix.course = 271.0;
  const DecodedLocation decoded =
      DecodeOwnTracksMessage("owntracks/car/van7", ComposeOwnTracksLocation(fix, "v7", 0));
  ASSERT_EQ(decoded.problem, MessageProblem::kNone);
  EXPECT_EQ(decoded.user, "car");
  EXPECT_EQ(decoded.device, "van7");
  EXPECT_EQ(decoded.tst, FixEpochSeconds(fix));
  EXPECT_EQ(std::make_tuple(decoded.fix.day, decoded.fix.month, decoded.fix.year, decoded.fix.hour,
                            decoded.fix.minute, decoded.fix.seconds),
            std::make_tuple(29, 2, 24, 23, 59, 44.0));
  EXPECT_DOUBLE_EQ(decoded.fix.latitude, -33.8568);
  EXPECT_DOUBLE_EQ(decoded.fix.longitude, -151.2153);
  EXPECT_DOUBLE_EQ(decoded.fix.altitude, 12.0);
  EXPECT_DOUBLE_EQ(decoded.fix.speed, 80.0);
  EXPECT_DOUBLE_EQ(decoded.fix.course, 271.0);
  // Where the message leaves a value out or gives nonsense, it is unknown.
  const DecodedLocation sparse = DecodeOwnTracksMessage(
      "owntracks/car/van7", R"({"_type":"location","lat":1,"lon":2,"tst":1796655969,"alt":"high","vel":-5})");
  ASSERT_EQ(sparse.problem, MessageProblem::kNone);
  EXPECT_FALSE(HasAltitude(sparse.fix));
  EXPECT_DOUBLE_EQ(sparse.fix.speed, 0.0);
}

}  // namespace
}  // namespace pathmere
