// Second starts forwarding their command line to a running window through
// the real single-instance channel.
#include "ui/instance_command_server.h"

#include "app/instance_claim.h"
#include "app/pending_points.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QCoreApplication>

#include "desktop_fixture.h"
#include "platform/instance_channel.h"

namespace pathmere {
namespace {

using namespace std::chrono_literals;

class InstanceForwardingTest : public testing::DesktopTest {
 protected:
  // A second start with `arguments`, on its own thread, while this thread
  // runs the window's event loop.
  StartRole SecondStart(const std::vector<std::string>& arguments) {
    auto second = std::async(std::launch::async, [this, arguments] {
      std::vector<const char*> argv = {"pathmere"};
      for (const std::string& argument : arguments) argv.push_back(argument.c_str());
      InstanceChannel secondChannel(runtime.path());
      return ClaimOrForward(secondChannel, JoinCommandLine(static_cast<int>(argv.size()), argv.data()));
    });
    while (second.wait_for(5ms) != std::future_status::ready) QCoreApplication::processEvents();
    return second.get();
  }

  testing::TempFolder runtime;
  InstanceChannel channel{runtime.path()};
};

TEST_F(InstanceForwardingTest, CodesReachTheRunningWindowBeforeTheSecondStartEnds) {
  StoreOutputFolder(L"\\Tracks");
  auto window = MakeWindow();
  ASSERT_EQ(ClaimOrForward(channel, std::string_view("/wpth")), StartRole::kRunningInstance);
  InstanceCommandServer server(
      channel, [&window](int32_t code) { window->HandleForwardedCode(code); },
      [&window] { return window->StatusReport(); }, [&window] { return window->PendingPoints(); });
  Start(*window);
  EXPECT_EQ(window->program().flags().waypointRequested, 0) << "the first start ignores its command line";

  struct Row {
    const char* legend;
    std::vector<std::string> arguments;
    bool waypoint;
    bool shown;
  };
  const Row rows[] = {
      {"/wpth: waypoint and flush, the window stays hidden", {"/wpth"}, true, false},
      {"/wpts: waypoint and flush, then shown", {"/wpts"}, true, true},
      {"/wpts is looked for before /noup", {"/wpts", "/noup"}, true, true},
      {"/wpth is looked for before /wpts", {"/wpts", "/wpth"}, true, false},
      {"found anywhere in the command line", {"--mark=x/wpthx"}, true, false},
      {"/noup: nothing is sent", {"/noup"}, false, false},
      {"capitals match nothing: just shown", {"/WPTH"}, false, true},
      {"no switch: shown", {}, false, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    // A fresh window for each row: nothing left from the one before.
    window = MakeWindow();
    Start(*window);
    window->hide();
    const SharedFlags& flags = window->program().flags();
    // The answer comes only once the code has been handled, so what it did
    // is visible as soon as the second start is done.
    EXPECT_EQ(SecondStart(row.arguments), StartRole::kHandedOver);
    EXPECT_EQ(flags.waypointRequested, row.waypoint ? 1 : 0);
    EXPECT_EQ(flags.flushRequested, row.waypoint ? 1 : 0);
    EXPECT_EQ(window->isVisible(), row.shown);
  }

  // `pathmere-cli status` asks the window what it is doing.
  window->program().SelectPort(0);
  port->queued = testing::Walk(5);
  window->Tick();
  const auto ask = [this](int32_t request) {
    auto asked = std::async(std::launch::async, [this, request] {
      InstanceChannel asker(runtime.path());
      std::string text;
      EXPECT_EQ(asker.RequestText(request, &text), InstanceChannel::StatusResult::kAnswered);
      return text;
    });
    while (asked.wait_for(5ms) != std::future_status::ready) QCoreApplication::processEvents();
    return asked.get();
  };
  const std::string status = ask(kStatusRequest);
  EXPECT_NE(status.find("Pathmere (pathmere, process "), std::string::npos) << status;
  EXPECT_NE(status.find("Status area:\n  UTC:  06.12.26 12:00:0"), std::string::npos) << status;
  EXPECT_NE(status.find("Output folder: " + Device("Tracks").string() + "\n"), std::string::npos) << status;
  EXPECT_NE(status.find("Port: COM0 open at 4800 bit/s for "), std::string::npos) << status;
  EXPECT_NE(status.find("2026-12-06.plt   not written yet\n"), std::string::npos) << status;
  EXPECT_NE(status.find("In memory, not yet on disk: track 1 point, "), std::string::npos) << status;

  // `pathmere-cli summary` asks for that point.
  PendingPoints pending;
  ASSERT_TRUE(ParsePendingPoints(ask(kPendingPointsRequest), &pending));
  EXPECT_EQ(pending.folder, Device("Tracks").string());
  EXPECT_EQ(pending.trackDate, (LocalDate{2026, 12, 6}));
  EXPECT_EQ(std::count(pending.track.begin(), pending.track.end(), '\n'), 1);
}

}  // namespace
}  // namespace pathmere
