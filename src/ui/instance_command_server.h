#pragma once

#include <cstdint>
#include <functional>

#include <QObject>

#include "platform/instance_channel.h"

class QSocketNotifier;

namespace pathmere {

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
