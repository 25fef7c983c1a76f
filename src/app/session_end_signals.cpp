#include "app/session_end_signals.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace auralith::app {

namespace {

constexpr std::array<int, 3> kSessionEndSignals = {SIGTERM, SIGHUP, SIGINT};

// Written by the signal handler, read by the event loop. One pair per
// process: there is one main window.
int gSignalPipe[2] = {-1, -1};

void OnSignal(int) {
  const int savedErrno = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(gSignalPipe[1], &byte, 1);
  errno = savedErrno;
}

}  // namespace

SessionEndSignals::SessionEndSignals(std::function<void()> onSessionEnd, QObject* parent)
    : QObject(parent), onSessionEnd_(std::move(onSessionEnd)) {
  if (gSignalPipe[0] >= 0) return;
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, gSignalPipe) != 0) {
    gSignalPipe[0] = gSignalPipe[1] = -1;
    return;
  }
  notifier_ = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &SessionEndSignals::Drain);
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  // A second signal ends the process at once, should the shutdown hang.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  for (int signal : kSessionEndSignals) ::sigaction(signal, &action, nullptr);
}

SessionEndSignals::~SessionEndSignals() {
  if (!notifier_) return;
  for (int signal : kSessionEndSignals) ::signal(signal, SIG_DFL);
  delete notifier_;
  ::close(gSignalPipe[0]);
  ::close(gSignalPipe[1]);
  gSignalPipe[0] = gSignalPipe[1] = -1;
}

void SessionEndSignals::Drain() {
  char bytes[16];
  bool received = false;
  while (::read(gSignalPipe[0], bytes, sizeof bytes) > 0) received = true;
  if (received) onSessionEnd_();
}

}  // namespace auralith::app
