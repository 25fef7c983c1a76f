#pragma once

#include <QString>

#include <functional>
#include <memory>

// The new-version check as the main window's update timer starts it. The
// check itself may finish at once or later; the result arrives through the
// callback on the user-interface thread either way.

namespace auralith::ui {

class UpdateCheck {
 public:
  virtual ~UpdateCheck() = default;
  // Whether the machine has a connection worth trying.
  virtual bool Connected() = 0;
  // Runs one check; `done` receives 1 when a different version is
  // published, else 0. A network failure is shown through `reportError`.
  virtual void Start(std::function<void(int)> done, std::function<void(const QString&)> reportError) = 0;
};

// The version check against this run's server host.
std::unique_ptr<UpdateCheck> MakeVersionCheck();

}  // namespace auralith::ui
