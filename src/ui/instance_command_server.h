#pragma once

#include <cstdint>
#include <functional>

#include <QObject>

#include "platform/instance_channel.h"

class QSocketNotifier;

namespace pathmere {

// What a start of the program does about another running instance, decided
// before any window exists.
enum class StartRole {
  kRunningInstance,    // listening: this start is the running instance
  kWithoutChannel,     // the channel cannot be used: run, but take no commands
  kHandedOver,         // the running instance took the code ("/noup": nothing to send)
  kNotAnswered,        // a running instance did not take the code
};

// Becomes the running instance on `channel`, or forwards the command line's
// code to the one that runs and waits until it has been handled. The first
// instance ignores its command line.
StartRole ClaimOrForward(InstanceChannel& channel, int argc, const char* const argv[]);

// Serves the channel from the event loop, also while a modal dialog runs:
// each code a second start sends is handled, then answered.
class InstanceCommandServer final : public QObject {
  Q_OBJECT

 public:
  using Handler = std::function<void(int32_t code)>;

  InstanceCommandServer(InstanceChannel& channel, Handler handler, QObject* parent = nullptr);

 private:
  InstanceChannel& channel_;
  Handler handler_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace pathmere
