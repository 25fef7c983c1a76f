#pragma once

#include "profiles/builtin_profiles.h"

#include <QByteArray>

#include <optional>

namespace auralith::settings {
class SettingsStore;
}

// The main window's listening state as the settings store keeps it, and the
// settings values that belong to each listening category.

namespace auralith::ui {

struct StoredState {
  int category = 2;     // 0 built-in speakers, 1 headphones, 2 desktop speakers
  int contentMode = 1;  // 1 music, 0 movie
  bool processing = false;
  int visible = 1;  // isVisibleKey, -1 when no orderly shutdown ever happened
};

// Reads the four state values. A category outside 0 to 2 reads as the
// default desktop speakers and a content mode outside 0 to 1 as music: the
// category and the mode select table rows, so nothing else may get through.
StoredState ReadStoredState(const settings::SettingsStore& store);
// Writes the four state values (the orderly shutdown's step).
void WriteStoredState(settings::SettingsStore& store, const StoredState& state);

int ValidCategory(int category);
int ValidContentMode(int contentMode);

// The settings values of a category code; an unknown code counts as
// built-in speakers for the output device, as desktop speakers elsewhere.
const char* OutputKeyOf(int category);
const char* BoostKeyOf(int category);
const char* EqKeyOf(int category);
profiles::PaneCategory PaneCategoryOf(int category);

// The tray menu item showing a category checked.
int CategoryMenuItem(int category);
// The tray menu item showing a content mode checked (1 music, else movie).
int ContentMenuItem(int contentMode);

// K.I.R.O is in force only for headphones, and only when switched on.
bool KiroActiveFor(const settings::SettingsStore& store, int category);

// The category's stored user equalizer record, when there is one of the
// right size.
std::optional<QByteArray> StoredUserEq(const settings::SettingsStore& store, int category);

}  // namespace auralith::ui
