#include "ui/main/listening_settings.h"

#include "app/settings_keys.h"
#include "app/settings_store.h"
#include "ui/main/window_commands.h"

namespace auralith::ui {
namespace {

namespace keys = auralith::settings;
constexpr const char* kSection = keys::settingsSection;

}  // namespace

int ValidCategory(int category) {
  return category >= kCategoryBuiltIn && category <= kCategoryDesktop ? category : keys::modeKeyDefault;
}

int ValidContentMode(int contentMode) {
  return contentMode == 0 || contentMode == 1 ? contentMode : keys::musicKeyDefault;
}

StoredState ReadStoredState(const settings::SettingsStore& store) {
  StoredState state;
  state.category = ValidCategory(store.GetProfileInt(kSection, keys::modeKey, keys::modeKeyDefault));
  state.contentMode = ValidContentMode(store.GetProfileInt(kSection, keys::musicKey, keys::musicKeyDefault));
  state.processing = store.GetProfileInt(kSection, keys::isProcessingKey, keys::isProcessingKeyDefault) == 1;
  state.visible = store.GetProfileInt(kSection, keys::isVisibleKey, keys::isVisibleKeyFirstRun);
  return state;
}

void WriteStoredState(settings::SettingsStore& store, const StoredState& state) {
  store.WriteProfileInt(kSection, keys::modeKey, state.category);
  store.WriteProfileInt(kSection, keys::musicKey, state.contentMode);
  store.WriteProfileInt(kSection, keys::isProcessingKey, state.processing ? 1 : 0);
  store.WriteProfileInt(kSection, keys::isVisibleKey, state.visible == 1 ? 1 : 0);
}

const char* OutputKeyOf(int category) {
  switch (category) {
    case kCategoryHeadphones:
      return keys::hpOutputKey;
    case kCategoryDesktop:
      return keys::dtOutputKey;
    default:
      return keys::biOutputKey;
  }
}

const char* BoostKeyOf(int category) {
  switch (category) {
    case kCategoryBuiltIn:
      return keys::builtInBoostKey;
    case kCategoryHeadphones:
      return keys::headphoneBoostKey;
    default:
      return keys::desktopBoostKey;
  }
}

const char* EqKeyOf(int category) {
  switch (category) {
    case kCategoryBuiltIn:
      return keys::builtinEqKey;
    case kCategoryHeadphones:
      return keys::headphoneEqKey;
    default:
      return keys::desktopEqKey;
  }
}

profiles::PaneCategory PaneCategoryOf(int category) {
  switch (category) {
    case kCategoryBuiltIn:
      return profiles::PaneCategory::BuiltIn;
    case kCategoryHeadphones:
      return profiles::PaneCategory::Headphones;
    default:
      return profiles::PaneCategory::Desktop;
  }
}

bool KiroActiveFor(const settings::SettingsStore& store, int category) {
  return category == kCategoryHeadphones &&
         store.GetProfileInt(kSection, keys::headphoneKiroKey, keys::headphoneKiroKeyDefault) != 0;
}

std::optional<QByteArray> StoredUserEq(const settings::SettingsStore& store, int category) {
  return store.GetProfileBinary(kSection, EqKeyOf(category), keys::userEqRecordSize);
}

int CategoryMenuItem(int category) {
  switch (category) {
    case kCategoryHeadphones:
      return command_id::kHeadphones;
    case kCategoryDesktop:
      return command_id::kDesktop;
    default:
      return command_id::kBuiltIn;
  }
}

int ContentMenuItem(int contentMode) { return contentMode == 1 ? command_id::kMusic : command_id::kMovie; }

}  // namespace auralith::ui
