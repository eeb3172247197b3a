#pragma once

namespace pathmere {

// SIGINT, SIGTERM and SIGHUP (Ctrl+C, a service stop, a logout or a closed
// terminal) only wake the front end's event loop through a self-pipe, so the
// normal shut-down runs there and pending points still reach their files.
// SIGPIPE (the reader of standard output went away, as in `record | head`)
// is ignored instead: the write then fails with EPIPE, which the console
// handles, and logging goes on. One instance at a time; it puts the default
// handlers back when destroyed.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // False when the pipe or the handlers could not be set up.
  bool installed() const { return installed_; }
  // Readable once a stop signal has arrived; -1 when not installed.
  int wakeFd() const;
  // Empties the pipe; true when a stop signal had arrived.
  bool TakeStop();

 private:
  bool installed_ = false;
};

}  // namespace pathmere
