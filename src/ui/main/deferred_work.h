#pragma once

#include <deque>
#include <functional>

// Keeps work out of nested event loops. A message box or a modal dialog
// runs a loop of its own, inside which the user can still reach the tray
// menu and a second instance can still send a command. Whatever must not
// run there (the quit, a second engine operation while one is under way)
// waits here until the outer work has finished.

namespace auralith::ui {

class DeferredWork {
 public:
  // Marks a modal loop (message box, dialog) as running while it lives.
  class ModalScope {
   public:
    explicit ModalScope(DeferredWork& work) : work_(work) { ++work_.modalDepth_; }
    ~ModalScope();
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;

   private:
    DeferredWork& work_;
  };

  // Posts `run` to the event loop; the owner supplies how (a queued call).
  explicit DeferredWork(std::function<void(std::function<void()>)> post);

  bool InModalLoop() const { return modalDepth_ > 0; }
  bool EngineBusy() const { return engineDepth_ > 0; }

  // Runs an engine operation now, or, when one is already under way (this
  // call comes from a loop nested in it), after that one has finished.
  void RunEngineOperation(const std::function<void()>& operation);

  // Runs the quit now when nothing is nested, else once the last modal
  // loop and engine operation have ended. Asked for twice, it runs once.
  void RequestQuit(std::function<void()> quit);
  bool QuitPending() const { return static_cast<bool>(pendingQuit_); }

 private:
  void Settle();

  std::function<void(std::function<void()>)> post_;
  int modalDepth_ = 0;
  int engineDepth_ = 0;
  std::deque<std::function<void()>> postponed_;
  std::function<void()> pendingQuit_;
  bool quitPosted_ = false;
};

}  // namespace auralith::ui
