#include "app/profile_slots.h"

#include "app/settings_keys.h"
#include "app/settings_store.h"
#include "profiles/profile_folder.h"

#include <QFileInfo>

#include <utility>

namespace auralith::app {

namespace {

struct CategoryKeys {
  const char* const* slotKeys;
  const char* boostKey;
};

CategoryKeys KeysOf(PaneCategory category) {
  switch (category) {
    case PaneCategory::BuiltIn:
      return {settings::builtInSlotKeys, settings::builtInBoostKey};
    case PaneCategory::Desktop:
      return {settings::desktopSlotKeys, settings::desktopBoostKey};
    case PaneCategory::Headphones:
      break;
  }
  return {settings::headphoneSlotKeys, settings::headphoneBoostKey};
}

std::size_t IndexOf(PaneCategory category) { return static_cast<std::size_t>(category); }

constexpr PaneCategory kStartOrder[] = {PaneCategory::BuiltIn, PaneCategory::Desktop, PaneCategory::Headphones};

}  // namespace

static_assert(settings::profileSlotCount == profiles::kProfileSlots);

ProfileSlots::ProfileSlots(settings::SettingsStore& store, CategoryProfileTarget& target)
    : ProfileSlots(store, target, profiles::ProfileFolder()) {}

ProfileSlots::ProfileSlots(settings::SettingsStore& store, CategoryProfileTarget& target, std::string profileFolder)
    : store_(store), target_(target), folder_(std::move(profileFolder)) {
  Refresh();
}

QString ProfileSlots::DefaultPath(PaneCategory category, int index) const {
  return QString::fromStdString(folder_) + QString::fromUtf8(profiles::BuiltinProfileFile(category, index + 1));
}

void ProfileSlots::Refresh() {
  for (PaneCategory category : kStartOrder) {
    const CategoryKeys keys = KeysOf(category);
    SlotList& list = slots_[IndexOf(category)];
    for (int i = 0; i < profiles::kProfileSlots; ++i) {
      const QString stored = store_.GetProfileString(settings::settingsSection, keys.slotKeys[i]);
      // Only a file counts: a folder of that name is no profile either.
      const bool present = !stored.isEmpty() && QFileInfo(stored).isFile();
      list[static_cast<std::size_t>(i)] = present ? stored : DefaultPath(category, i);
    }
  }
}

const ProfileSlots::SlotList& ProfileSlots::Slots(PaneCategory category) const { return slots_[IndexOf(category)]; }

bool ProfileSlots::MakeSlotActive(PaneCategory category, int index) {
  if (index < 1 || index >= profiles::kProfileSlots) return false;
  SlotList& list = slots_[IndexOf(category)];
  const QString chosen = list[static_cast<std::size_t>(index)];
  for (int i = index; i > 0; --i) list[static_cast<std::size_t>(i)] = list[static_cast<std::size_t>(i - 1)];
  list[0] = chosen;
  WriteSlots(category);
  Refresh();
  ActivateSlotOne(category);
  return true;
}

void ProfileSlots::AddPath(PaneCategory category, const QString& path) {
  SlotList& list = slots_[IndexOf(category)];
  for (int i = 0; i < profiles::kProfileSlots; ++i) {
    if (list[static_cast<std::size_t>(i)] != path) continue;
    if (i == 0) {
      Refresh();
      ActivateSlotOne(category);
    } else {
      MakeSlotActive(category, i);
    }
    return;
  }
  // New path: slot 5 drops out, everything else moves down one place.
  for (int i = profiles::kProfileSlots - 1; i > 0; --i)
    list[static_cast<std::size_t>(i)] = list[static_cast<std::size_t>(i - 1)];
  list[0] = path;
  WriteSlots(category);
  Refresh();
  ActivateSlotOne(category);
}

void ProfileSlots::ActivateSlotOne(PaneCategory category) {
  const int boost =
      store_.GetProfileInt(settings::settingsSection, KeysOf(category).boostKey, settings::boostKeyDefault);
  const QString path = ActivePath(category);  // a copy: the target may refresh the lists
  switch (category) {
    case PaneCategory::BuiltIn:
      target_.SetBuiltInProfile(path, boost);
      return;
    case PaneCategory::Desktop:
      target_.SetDesktopProfile(path, boost);
      return;
    case PaneCategory::Headphones:
      target_.SetHeadphoneProfile(path, boost);
      return;
  }
}

void ProfileSlots::ActivateAll() {
  Refresh();
  for (PaneCategory category : kStartOrder) ActivateSlotOne(category);
}

void ProfileSlots::WriteSlots(PaneCategory category) {
  const CategoryKeys keys = KeysOf(category);
  const SlotList& list = slots_[IndexOf(category)];
  for (int i = 0; i < profiles::kProfileSlots; ++i)
    store_.WriteProfileString(settings::settingsSection, keys.slotKeys[i], list[static_cast<std::size_t>(i)]);
}

}  // namespace auralith::app
