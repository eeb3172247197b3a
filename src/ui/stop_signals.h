#pragma once

#include <functional>

#include <QObject>

class QSocketNotifier;

namespace pathmere {

// SIGINT, SIGTERM and SIGHUP (a logout, a closed terminal, kill) close the
// window the normal way, so pending points still reach their files. The
// handler only wakes the event loop; `onStop` runs there. One at a time.
class StopSignals final : public QObject {
  Q_OBJECT

 public:
  explicit StopSignals(std::function<void()> onStop, QObject* parent = nullptr);
  ~StopSignals() override;
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  bool installed() const { return notifier_ != nullptr; }

 private:
  std::function<void()> onStop_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace pathmere
