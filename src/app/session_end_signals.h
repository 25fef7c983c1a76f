#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// The end of the user's session reaches a desktop program as SIGTERM or
// SIGHUP (SIGINT from a terminal): turn them into a call on the event loop's
// thread so the program can shut down in order instead of dying.

namespace auralith::app {

class SessionEndSignals : public QObject {
 public:
  explicit SessionEndSignals(std::function<void()> onSessionEnd, QObject* parent = nullptr);
  ~SessionEndSignals() override;
  SessionEndSignals(const SessionEndSignals&) = delete;
  SessionEndSignals& operator=(const SessionEndSignals&) = delete;

 private:
  void Drain();

  std::function<void()> onSessionEnd_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace auralith::app
