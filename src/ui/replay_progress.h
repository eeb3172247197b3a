#pragma once

#include <QPointer>
#include <QProgressDialog>

#include "app/program.h"

class QTimer;
class QWidget;

namespace pathmere {

// "Read NMEA file" at the processor's pace. A tick hands on at most a
// megabyte of the file, and the window ticks once a second, so a 50 MB
// file took most of a minute where the headless replay, which ticks back to
// back, takes a fraction of a second. While a file is replayed the window
// ticks back to back too, and a dialog (not modal: logging, the panel and
// the track view go on) tells how far it is and can stop it.
class ReplayProgress {
 public:
  ReplayProgress(Program& program, QTimer& tickTimer, int tickIntervalMs, QWidget* parent)
      : program_(program), tickTimer_(tickTimer), tickIntervalMs_(tickIntervalMs), parent_(parent) {}
  ~ReplayProgress();

  // A replay has just started.
  void Start(const QString& fileName);
  // After each tick: the dialog follows the replay, and both end together.
  void Update();

  QProgressDialog* dialog() const { return dialog_; }

 private:
  void Finish();

  Program& program_;
  QTimer& tickTimer_;
  int tickIntervalMs_;
  QWidget* parent_;
  QPointer<QProgressDialog> dialog_;
};

}  // namespace pathmere
