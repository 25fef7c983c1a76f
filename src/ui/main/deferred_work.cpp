#include "ui/main/deferred_work.h"

namespace auralith::ui {

DeferredWork::ModalScope::~ModalScope() {
  --work_.modalDepth_;
  work_.Settle();
}

DeferredWork::DeferredWork(std::function<void(std::function<void()>)> post) : post_(std::move(post)) {}

void DeferredWork::RunEngineOperation(const std::function<void()>& operation) {
  if (engineDepth_ > 0 || pendingQuit_) {
    // A quit that waits makes every later operation pointless.
    if (!pendingQuit_) postponed_.push_back(operation);
    return;
  }
  ++engineDepth_;
  operation();
  // Operations that arrived meanwhile, in order; each may add more.
  while (!postponed_.empty() && !pendingQuit_) {
    const std::function<void()> next = std::move(postponed_.front());
    postponed_.pop_front();
    next();
  }
  postponed_.clear();
  --engineDepth_;
  Settle();
}

void DeferredWork::RequestQuit(std::function<void()> quit) {
  if (pendingQuit_) return;
  pendingQuit_ = std::move(quit);
  Settle();
}

void DeferredWork::Settle() {
  if (!pendingQuit_ || quitPosted_ || modalDepth_ > 0 || engineDepth_ > 0) return;
  // Never from inside the caller's frame, which may still be a loop's
  // handler: the quit runs from the event loop itself.
  quitPosted_ = true;
  post_([this] {
    if (modalDepth_ > 0 || engineDepth_ > 0) {
      quitPosted_ = false;
      return;  // a loop opened meanwhile; its end settles again
    }
    std::function<void()> quit = std::move(pendingQuit_);
    pendingQuit_ = {};
    if (quit) quit();
  });
}

}  // namespace auralith::ui
