#include "ui/replay_progress.h"

#include <algorithm>

#include <QTimer>

namespace pathmere {
namespace {

// The dialog counts in kilobytes, so a file of any size fits its int.
int Kilobytes(int64_t bytes) { return static_cast<int>(std::clamp<int64_t>(bytes / 1024, 0, 1 << 30)); }

}  // namespace

ReplayProgress::~ReplayProgress() { delete dialog_; }

void ReplayProgress::Start(const QString& fileName) {
  delete dialog_;
  dialog_ = new QProgressDialog(QStringLiteral("Reading %1...").arg(fileName), QStringLiteral("Cancel"), 0,
                                std::max(Kilobytes(program_.ReplaySize()), 1), parent_);
  dialog_->setObjectName(QStringLiteral("replayProgress"));
  dialog_->setWindowTitle(QStringLiteral("Read NMEA file"));
  dialog_->setWindowModality(Qt::NonModal);
  dialog_->setAutoClose(false);
  dialog_->setAutoReset(false);
  // A small file is read before the dialog would be worth seeing.
  dialog_->setMinimumDuration(500);
  QObject::connect(dialog_, &QProgressDialog::canceled, dialog_, [this] {
    program_.CancelReplay();
    Finish();
  });
  dialog_->setValue(0);
  tickTimer_.setInterval(0);
}

void ReplayProgress::Update() {
  if (dialog_ == nullptr) return;
  if (!program_.IsReplaying()) {
    Finish();
    return;
  }
  dialog_->setValue(std::min(Kilobytes(program_.ReplayedBytes()), dialog_->maximum()));
}

void ReplayProgress::Finish() {
  tickTimer_.setInterval(tickIntervalMs_);
  if (dialog_ != nullptr) dialog_->deleteLater();
  dialog_ = nullptr;
}

}  // namespace pathmere
