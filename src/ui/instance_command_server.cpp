#include "ui/instance_command_server.h"

#include <QSocketNotifier>

namespace pathmere {

StartRole ClaimOrForward(InstanceChannel& channel, int argc, const char* const argv[]) {
  // Twice at most: an instance that ends between our look and our call is
  // replaced by this one.
  for (int attempt = 0; attempt < 2; ++attempt) {
    switch (channel.Listen()) {
      case InstanceChannel::ListenResult::kListening:
        return StartRole::kRunningInstance;
      case InstanceChannel::ListenResult::kFailed:
        return StartRole::kWithoutChannel;
      case InstanceChannel::ListenResult::kOtherInstance:
        break;
    }
    const auto code = ForwardedCode(JoinCommandLine(argc, argv));
    if (!code) return StartRole::kHandedOver;
    switch (channel.Forward(*code)) {
      case InstanceChannel::ForwardResult::kDelivered:
        return StartRole::kHandedOver;
      case InstanceChannel::ForwardResult::kFailed:
        return StartRole::kNotAnswered;
      case InstanceChannel::ForwardResult::kNoInstance:
        break;
    }
  }
  return StartRole::kNotAnswered;
}

InstanceCommandServer::InstanceCommandServer(InstanceChannel& channel, Handler handler, QObject* parent)
    : QObject(parent), channel_(channel), handler_(std::move(handler)) {
  if (channel_.listenFd() < 0) return;
  notifier_ = new QSocketNotifier(channel_.listenFd(), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { channel_.ServeOnce(handler_); });
}

}  // namespace pathmere
