#include "ui/instance_command_server.h"

#include <QSocketNotifier>

namespace pathmere {

InstanceCommandServer::InstanceCommandServer(InstanceChannel& channel, Handler handler, QObject* parent)
    : QObject(parent), channel_(channel), handler_(std::move(handler)) {
  if (channel_.listenFd() < 0) return;
  notifier_ = new QSocketNotifier(channel_.listenFd(), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { channel_.ServeOnce(handler_); });
}

}  // namespace pathmere
