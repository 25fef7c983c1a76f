#include "ui/main/tray_menu.h"

#include "ui/main/window_commands.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

namespace auralith::ui {
namespace {

constexpr const char* kSinkProperty = "auralithSink";
constexpr const char* kProductProperty = "auralithProduct";

QAction* AddItem(QMenu& menu, int id, const QString& text) {
  QAction* action = menu.addAction(text);
  action->setData(id);
  return action;
}

// A radio group of consecutive ids, `checked` marked.
void AddRadioGroup(QMenu& menu, std::initializer_list<std::pair<int, const char*>> items, int checked) {
  auto* group = new QActionGroup(&menu);
  group->setExclusive(true);
  for (const auto& [id, text] : items) {
    QAction* action = AddItem(menu, id, QString::fromLatin1(text));
    action->setCheckable(true);
    action->setChecked(id == checked);
    group->addAction(action);
  }
}

}  // namespace

std::vector<OutputDeviceItem> OutputDeviceItems(const audio::OutputDeviceList& list, const std::string& storedName) {
  std::vector<OutputDeviceItem> items;
  const int inUse = audio::RealDeviceFor(list, storedName);
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (audio::IsVirtualDevice(list[i])) continue;
    items.push_back({command_id::kFirstOutputDevice + int(i), list[i], int(i) == inUse});
  }
  return items;
}

void FillTrayMenu(QMenu& menu, const TrayMenuState& state, const std::vector<OutputDeviceItem>& devices) {
  menu.clear();
  // Groups of the previous build go with their parent's children.
  for (QActionGroup* old : menu.findChildren<QActionGroup*>(Qt::FindDirectChildrenOnly)) delete old;

  AddItem(menu, command_id::kToggleProcessing, QString::fromLatin1(state.processingOn ? kTurnOffText : kTurnOnText));
  menu.addSeparator();

  QMenu* deviceMenu = menu.addMenu(QString::fromLatin1(kOutputDeviceMenuText));
  deviceMenu->setAccessibleName(deviceMenu->title());
  auto* deviceGroup = new QActionGroup(deviceMenu);
  for (const OutputDeviceItem& item : devices) {
    QAction* action = AddItem(*deviceMenu, item.id, QString::fromStdString(item.device.productName));
    action->setProperty(kSinkProperty, QString::fromStdString(item.device.sinkName));
    action->setProperty(kProductProperty, QString::fromStdString(item.device.productName));
    action->setCheckable(true);
    action->setChecked(item.checked);
    deviceGroup->addAction(action);
  }
  menu.addSeparator();

  AddItem(menu, command_id::kContentLabel, QStringLiteral("Content:"));
  AddRadioGroup(menu, {{command_id::kMusic, "   Music"}, {command_id::kMovie, "   Movie"}}, state.contentItem);
  menu.addSeparator();
  AddItem(menu, command_id::kListeningLabel, QStringLiteral("Listening To:"));
  AddRadioGroup(menu,
                {{command_id::kBuiltIn, "   Built-In Speakers"},
                 {command_id::kDesktop, "   Desktop Speakers"},
                 {command_id::kHeadphones, "   Headphones"}},
                state.categoryItem);
  menu.addSeparator();
  AddItem(menu, command_id::kPreferences, QStringLiteral("Preferences"));
  menu.addSeparator();
  AddItem(menu, command_id::kOpen, QStringLiteral("Open"));
  AddItem(menu, command_id::kQuit, QStringLiteral("Quit"));

  menu.setDefaultAction(nullptr);
  if (state.defaultCommand != 0) {
    for (QAction* action : menu.actions())
      if (CommandOf(action) == state.defaultCommand) menu.setDefaultAction(action);
  }
}

int CommandOf(const QAction* action) {
  if (!action) return 0;
  bool ok = false;
  const int id = action->data().toInt(&ok);
  return ok ? id : 0;
}

audio::OutputDevice DeviceOf(const QAction* action) {
  if (!action) return {};
  return {action->property(kSinkProperty).toString().toStdString(),
          action->property(kProductProperty).toString().toStdString()};
}

}  // namespace auralith::ui
