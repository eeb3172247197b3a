#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <QObject>

#include "platform/instance_channel.h"

class QSocketNotifier;
class QTimer;

namespace pathmere {

// Serves the channel from the event loop, also while a modal dialog runs:
// each code a second start sends is handled, then answered, and a status
// request is answered with the text of `status` when one is given. A client
// slow to send its code is looked at again a little later, never waited for.
class InstanceCommandServer final : public QObject {
  Q_OBJECT

 public:
  using Handler = std::function<void(int32_t code)>;
  using StatusText = std::function<std::string()>;

  // `pendingPoints` answers a pending points request like `status`.
  InstanceCommandServer(InstanceChannel& channel, Handler handler, StatusText status = nullptr,
                        StatusText pendingPoints = nullptr, QObject* parent = nullptr);

 private:
  void Serve();

  InstanceChannel& channel_;
  Handler handler_;
  StatusText status_;
  StatusText pendingPoints_;
  QSocketNotifier* notifier_ = nullptr;
  QTimer* again_ = nullptr;
};

}  // namespace pathmere
