#include "ui/main/tray_menu.h"

#include "ui/main/window_commands.h"

#include <QAccessible>
#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

namespace auralith::ui {
namespace {

namespace ids = command_id;

const audio::OutputDeviceList kDevices = {
    {"speakers", "Speakers (Built-in Audio)"},
    {"auralith", "Auralith Virtual Device"},
    {"phones", "Headphones (USB Audio)"},
};

QStringList Texts(const QMenu& menu) {
  QStringList texts;
  for (const QAction* action : menu.actions()) texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
  return texts;
}

QAction* ActionOf(const QMenu& menu, int id) {
  for (QAction* action : menu.actions())
    if (CommandOf(action) == id) return action;
  return nullptr;
}

TEST(TrayDeviceItems, SkipTheVirtualDeviceAndKeepPositionIds) {
  const std::vector<OutputDeviceItem> items = OutputDeviceItems(kDevices, "Headphones");
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].id, ids::kFirstOutputDevice + 0);
  EXPECT_EQ(items[0].device.sinkName, "speakers");
  EXPECT_EQ(items[1].id, ids::kFirstOutputDevice + 2);
  EXPECT_EQ(items[1].device.productName, "Headphones (USB Audio)");
  EXPECT_FALSE(items[0].checked);
  EXPECT_TRUE(items[1].checked);
}

TEST(TrayDeviceItems, CheckTheDeviceTheEnginePlaysOn) {
  // No stored name, or one naming the virtual device or nothing: the engine
  // plays on the first real device, and that one shows checked.
  for (const std::string stored : {"", "Auralith", "Nothing like it"}) {
    const std::vector<OutputDeviceItem> items = OutputDeviceItems(kDevices, stored);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_TRUE(items[0].checked) << stored;
    EXPECT_FALSE(items[1].checked) << stored;
  }
  // The virtual device first: still the first real one is checked.
  const audio::OutputDeviceList virtualFirst = {kDevices[1], kDevices[0], kDevices[2]};
  const std::vector<OutputDeviceItem> items = OutputDeviceItems(virtualFirst, "");
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].id, ids::kFirstOutputDevice + 1);
  EXPECT_TRUE(items[0].checked);
  EXPECT_TRUE(OutputDeviceItems({kDevices[1]}, "").empty());
}

TEST(TrayMenu, HoldsTheItemsInOrder) {
  QMenu menu;
  FillTrayMenu(menu, TrayMenuState{ids::kMusic, ids::kDesktop, false, ids::kOpen}, OutputDeviceItems(kDevices, ""));
  EXPECT_EQ(Texts(menu), (QStringList{"Turn ULX On", "-", "Output Device", "-", "Content:", "   Music", "   Movie", "-",
                                      "Listening To:", "   Built-In Speakers", "   Desktop Speakers", "   Headphones",
                                      "-", "Preferences", "-", "Open", "Quit"}));
  EXPECT_EQ(CommandOf(menu.defaultAction()), ids::kOpen);
  for (int id : {ids::kToggleProcessing, ids::kContentLabel, ids::kListeningLabel, ids::kPreferences, ids::kQuit})
    EXPECT_NE(ActionOf(menu, id), nullptr) << id;
}

TEST(TrayMenu, RadioGroupsAndTheProcessingItemFollowTheState) {
  QMenu menu;
  FillTrayMenu(menu, TrayMenuState{ids::kMovie, ids::kHeadphones, true, 0}, {});
  EXPECT_EQ(ActionOf(menu, ids::kToggleProcessing)->text(), QStringLiteral("Turn ULX Off"));
  EXPECT_TRUE(ActionOf(menu, ids::kMovie)->isChecked());
  EXPECT_FALSE(ActionOf(menu, ids::kMusic)->isChecked());
  EXPECT_TRUE(ActionOf(menu, ids::kHeadphones)->isChecked());
  EXPECT_FALSE(ActionOf(menu, ids::kBuiltIn)->isChecked());
  EXPECT_FALSE(ActionOf(menu, ids::kDesktop)->isChecked());
  EXPECT_FALSE(ActionOf(menu, ids::kContentLabel)->isCheckable());
  EXPECT_EQ(menu.defaultAction(), nullptr);
  // Checking another member of a group unchecks the first.
  ActionOf(menu, ids::kMusic)->setChecked(true);
  EXPECT_FALSE(ActionOf(menu, ids::kMovie)->isChecked());

  // A second fill replaces the first: no item twice, the new state shown.
  FillTrayMenu(menu, TrayMenuState{ids::kMusic, ids::kBuiltIn, false, 0}, {});
  EXPECT_EQ(menu.actions().size(), 17);
  EXPECT_EQ(ActionOf(menu, ids::kToggleProcessing)->text(), QStringLiteral("Turn ULX On"));
  EXPECT_TRUE(ActionOf(menu, ids::kBuiltIn)->isChecked());
}

TEST(TrayMenu, DeviceItemsCarryTheirDevice) {
  QMenu menu;
  FillTrayMenu(menu, TrayMenuState{ids::kMusic, ids::kDesktop, false, 0}, OutputDeviceItems(kDevices, "Headphones"));
  QAction* devices = menu.actions().at(2);
  ASSERT_NE(devices->menu(), nullptr);
  const QList<QAction*> items = devices->menu()->actions();
  ASSERT_EQ(items.size(), 2);
  EXPECT_EQ(items[0]->text(), QStringLiteral("Speakers (Built-in Audio)"));
  EXPECT_EQ(CommandOf(items[1]), ids::kFirstOutputDevice + 2);
  EXPECT_EQ(DeviceOf(items[1]).sinkName, "phones");
  EXPECT_EQ(DeviceOf(items[1]).productName, "Headphones (USB Audio)");
  EXPECT_TRUE(items[1]->isChecked());
  EXPECT_FALSE(items[0]->isChecked());
  EXPECT_TRUE(DeviceOf(ActionOf(menu, ids::kQuit)).Empty());
}

TEST(TrayMenu, EveryItemHasAnAccessibleName) {
  QMenu menu;
  FillTrayMenu(menu, TrayMenuState{ids::kMusic, ids::kDesktop, false, ids::kOpen}, OutputDeviceItems(kDevices, ""));
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&menu);
  ASSERT_NE(accessible, nullptr);
  int named = 0;
  for (int i = 0; i < accessible->childCount(); ++i) {
    QAccessibleInterface* child = accessible->child(i);
    ASSERT_NE(child, nullptr);
    if (child->role() == QAccessible::Separator) continue;
    EXPECT_FALSE(child->text(QAccessible::Name).trimmed().isEmpty()) << i;
    ++named;
  }
  EXPECT_EQ(named, 12);
}

}  // namespace
}  // namespace auralith::ui
