#pragma once

#include "profiles/builtin_profiles.h"

#include <QString>

#include <array>
#include <string>

namespace auralith::settings {
class SettingsStore;
}

namespace auralith::app {

using profiles::PaneCategory;

// What the slots need of the main window: loading a category's active
// profile (with the category's boost value) and applying it.
class CategoryProfileTarget {
 public:
  virtual ~CategoryProfileTarget() = default;
  virtual void SetBuiltInProfile(const QString& path, int boost) = 0;
  virtual void SetDesktopProfile(const QString& path, int boost) = 0;
  virtual void SetHeadphoneProfile(const QString& path, int boost) = 0;
};

// The five profile slots of each listening category. Slot 1 (index 0) is
// the category's active profile. The settings store holds the lasting
// copy; the lists here are rebuilt from it by every Refresh, with a slot
// whose file is gone (or that was never written) showing its built-in
// default. The slot values are written only by the two reorderings, always
// all five of a category together.
class ProfileSlots {
 public:
  using SlotList = std::array<QString, profiles::kProfileSlots>;

  // Reads and writes `store`; activations go to `target`. The built-in
  // defaults live in `profileFolder` (ending in "/"), by default the
  // user's profile folder. Both references must outlive the object. The
  // lists are filled at once.
  ProfileSlots(settings::SettingsStore& store, CategoryProfileTarget& target);
  ProfileSlots(settings::SettingsStore& store, CategoryProfileTarget& target, std::string profileFolder);

  // Rebuilds all three lists from the settings store; writes nothing.
  void Refresh();

  // The current list of a category (index 0 is slot 1).
  const SlotList& Slots(PaneCategory category) const;
  const QString& ActivePath(PaneCategory category) const { return Slots(category)[0]; }

  // The built-in default path of a slot (index 0 to 4).
  QString DefaultPath(PaneCategory category, int index) const;

  // Moves the path at `index` (1 to 4) to slot 1, the others keeping their
  // order; writes the category's five slot values, refreshes and activates
  // the new slot 1. Other indexes change nothing and return false.
  bool MakeSlotActive(PaneCategory category, int index);

  // Brings `path` to slot 1: a new path (compared exactly, case counts)
  // pushes slot 5 out; a path already listed moves up as with
  // MakeSlotActive. Ends with a refresh and the activation of slot 1.
  void AddPath(PaneCategory category, const QString& path);

  // Loads the category's slot 1 profile with its stored boost value
  // (default off) into the main window's profile of that category.
  void ActivateSlotOne(PaneCategory category);

  // Start-up: refresh, then activate slot 1 of every category in the order
  // built-in speakers, desktop speakers, headphones.
  void ActivateAll();

 private:
  void WriteSlots(PaneCategory category);

  settings::SettingsStore& store_;
  CategoryProfileTarget& target_;
  std::string folder_;
  std::array<SlotList, 3> slots_;
};

}  // namespace auralith::app
