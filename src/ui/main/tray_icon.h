#pragma once

#include "audio/output_devices.h"
#include "ui/main/tray_menu.h"

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QSystemTrayIcon>

#include <functional>
#include <memory>

// The notification-area icon: its tooltip, its menu (built afresh each time
// it opens), the balloons, and the clicks it turns into the main window's
// commands.

namespace auralith::ui {

inline constexpr const char* kBalloonTitle = "Auralith";
inline constexpr int kBalloonMs = 5000;

enum class BalloonKind { Running, Update };

class CTrayIcon : public QObject {
  Q_OBJECT
 public:
  struct Owner {
    // A command id of the menu, or the default command on a left click.
    std::function<void(int id)> command;
    // An output device item was chosen: the device as the menu listed it.
    std::function<void(const audio::OutputDevice& device)> chooseDevice;
    // The output device list and the stored name of the current category,
    // read as the menu opens.
    std::function<std::vector<OutputDeviceItem>()> deviceItems;
    // A click on the update balloon.
    std::function<void()> openDownloadPage;
  };

  explicit CTrayIcon(Owner owner, QObject* parent = nullptr);
  ~CTrayIcon() override;

  // Tooltip and icon (icon resource 158); the icon is kept only when it
  // loads. The default command starts at 0.
  void SetUp(const QString& tooltip);
  void SetDefaultCommand(int id) { state_.defaultCommand = id; }
  // Shows the icon; false when it has no icon or there is no tray.
  bool Add();
  bool Added() const { return added_; }

  void SetContentItem(int id) { state_.contentItem = id; }
  void SetCategoryItem(int id) { state_.categoryItem = id; }
  void SetProcessingOn(bool on) { state_.processingOn = on; }
  const TrayMenuState& MenuState() const { return state_; }

  void ShowBalloon(const QString& text, BalloonKind kind);
  BalloonKind LastBalloon() const { return lastBalloon_; }
  // What a click on the balloon does: the download page for the update
  // balloon, the menu for every other.
  void OnBalloonClicked();

  // Builds the menu and opens it at `point`.
  void PopupMenu(const QPoint& point);
  // Refills the menu (what opening it does first).
  void RebuildMenu();
  QMenu& Menu() { return *menu_; }

  // The icon's place on the screen, when the platform tells it.
  QRect Geometry() const;
  QString ToolTip() const { return tooltip_; }

 private:
  void OnActivated(QSystemTrayIcon::ActivationReason reason);
  void OnTriggered(QAction* action);

  Owner owner_;
  std::unique_ptr<QMenu> menu_;
  std::unique_ptr<QSystemTrayIcon> icon_;
  QString tooltip_;
  QIcon iconImage_;
  TrayMenuState state_;
  BalloonKind lastBalloon_ = BalloonKind::Running;
  bool added_ = false;
};

}  // namespace auralith::ui
