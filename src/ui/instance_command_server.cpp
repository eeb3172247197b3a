#include "ui/instance_command_server.h"

#include <QSocketNotifier>
#include <QTimer>

namespace pathmere {

namespace {

// How soon a client that has not sent its whole code is looked at again.
constexpr int kAgainMs = 50;

}  // namespace

InstanceCommandServer::InstanceCommandServer(InstanceChannel& channel, Handler handler, StatusText status,
                                             StatusText pendingPoints, QObject* parent)
    : QObject(parent),
      channel_(channel),
      handler_(std::move(handler)),
      status_(std::move(status)),
      pendingPoints_(std::move(pendingPoints)) {
  if (channel_.listenFd() < 0) return;
  notifier_ = new QSocketNotifier(channel_.listenFd(), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &InstanceCommandServer::Serve);
  again_ = new QTimer(this);
  again_->setSingleShot(true);
  again_->setInterval(kAgainMs);
  connect(again_, &QTimer::timeout, this, &InstanceCommandServer::Serve);
}

void InstanceCommandServer::Serve() {
  channel_.ServeOnce(handler_, status_, pendingPoints_);
  if (!channel_.waitingFds().empty() && !again_->isActive()) again_->start();
}

}  // namespace pathmere
