#pragma once

// What the application object needs of its main window: the window carries
// out the numbered commands (from its own start-up, from a second instance,
// or at the end of the user's session) and runs the only event loop of the
// program until it ends.

namespace auralith::app {

class MainWindow {
 public:
  virtual ~MainWindow() = default;

  // Carries out one command: a code 1 to 12, or kCommandPending for the
  // window's own pending command. Called on the thread of the modal loop,
  // also while the loop is running.
  virtual void RunCommand(int code) = 0;

  // Runs the window's start-up and then its modal loop until the window
  // ends (the Quit command); returns the loop's result.
  virtual int RunModal() = 0;
};

}  // namespace auralith::app
