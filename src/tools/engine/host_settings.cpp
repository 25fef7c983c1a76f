#include "tools/engine/host_settings.h"

#include <QByteArray>

#include <cstdint>
#include <cstring>
#include <optional>

#include "app/settings_keys.h"
#include "app/settings_store.h"
#include "mapping/user_eq.h"

namespace auralith::engine {
namespace {

namespace keys = auralith::settings;

const char* OutputKeyOf(int category) {
  switch (category) {
    case 0:
      return keys::biOutputKey;
    case 1:
      return keys::hpOutputKey;
    case 2:
      return keys::dtOutputKey;
    default:
      return nullptr;
  }
}

const char* BoostKeyOf(int category) {
  switch (category) {
    case 0:
      return keys::builtInBoostKey;
    case 1:
      return keys::headphoneBoostKey;
    default:
      return keys::desktopBoostKey;
  }
}

const char* EqKeyOf(int category) {
  switch (category) {
    case 0:
      return keys::builtinEqKey;
    case 1:
      return keys::headphoneEqKey;
    default:
      return keys::desktopEqKey;
  }
}

}  // namespace

ListeningState ReadListeningState() {
  keys::SettingsStore store;
  const char* section = keys::settingsSection;
  ListeningState state;
  state.category = store.GetProfileInt(section, keys::modeKey, keys::modeKeyDefault);
  state.contentMode = store.GetProfileInt(section, keys::musicKey, keys::musicKeyDefault);
  state.processing = store.GetProfileInt(section, keys::isProcessingKey, keys::isProcessingKeyDefault) == 1;
  state.boost = store.GetProfileInt(section, BoostKeyOf(state.category), keys::boostKeyDefault) == 1;
  state.kiro =
      state.category == 1 && store.GetProfileInt(section, keys::headphoneKiroKey, keys::headphoneKiroKeyDefault) != 0;
  if (std::optional<QByteArray> eq = store.GetProfileBinary(section, EqKeyOf(state.category), keys::userEqRecordSize))
    state.userEq = render::DecodeUserEqRecord(reinterpret_cast<const uint8_t*>(eq->constData()));
  return state;
}

bool ReadLowLatency() {
  keys::SettingsStore store;
  return store.GetProfileInt(keys::settingsSection, keys::lowLatencyKey, keys::lowLatencyKeyDefault) == 1;
}

std::string StoredOutputName(int category) {
  const char* key = OutputKeyOf(category);
  if (!key) return {};
  keys::SettingsStore store;
  return store.GetProfileString(keys::settingsSection, key).toStdString();
}

}  // namespace auralith::engine
