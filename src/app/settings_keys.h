#pragma once

// Names of every value in the "Settings" section, with the defaults the
// callers read them with. Callers use these constants, never the literals.

namespace auralith::settings {

inline constexpr const char* settingsSection = "Settings";

// The four state values, written only at an orderly shutdown.
inline constexpr const char* modeKey = "modeKey";
inline constexpr const char* musicKey = "musicKey";
inline constexpr const char* isProcessingKey = "isProcessingKey";
inline constexpr const char* isVisibleKey = "isVisibleKey";

inline constexpr int modeKeyDefault = 2;          // desktop speakers
inline constexpr int musicKeyDefault = 1;         // music
inline constexpr int isProcessingKeyDefault = 0;  // off
inline constexpr int isVisibleKeyDefault = 1;     // visible
// Read with this default, isVisibleKey tells that no orderly shutdown ever
// happened: the first run.
inline constexpr int isVisibleKeyFirstRun = -1;

// Output device names per category (empty: the first device).
inline constexpr const char* biOutputKey = "biOutputKey";
inline constexpr const char* hpOutputKey = "hpOutputKey";
inline constexpr const char* dtOutputKey = "dtOutputKey";
inline constexpr int outputNameMaxLength = 31;

// +6 dB output boost per category (0 or 1, default 0).
inline constexpr const char* builtInBoostKey = "builtInBoostKey";
inline constexpr const char* desktopBoostKey = "desktopBoostKey";
inline constexpr const char* headphoneBoostKey = "headphoneBoostKey";
inline constexpr int boostKeyDefault = 0;

// K.I.R.O hearing protection and its lock code (empty or four digits).
inline constexpr const char* headphoneKiroKey = "headphoneKiroKey";
inline constexpr int headphoneKiroKeyDefault = 0;
inline constexpr const char* headphoneLockCodeKey = "headphoneLockCodeKey";

// User equalizer records: exactly userEqRecordSize bytes, anything else
// reads as absent.
inline constexpr const char* builtinEqKey = "builtinEqKey";
inline constexpr const char* desktopEqKey = "desktopEqKey";
inline constexpr const char* headphoneEqKey = "headphoneEqKey";
inline constexpr int userEqRecordSize = 32;

// Output in small blocks for lip-sync with video (0 or 1, default 0).
inline constexpr const char* lowLatencyKey = "lowLatencyKey";
inline constexpr int lowLatencyKeyDefault = 0;

inline constexpr const char* advUserEqKey = "advUserEqKey";
inline constexpr int advUserEqKeyDefault = 0;

// The five profile slots of each category; slot 1 (index 0) is the active
// profile.
inline constexpr int profileSlotCount = 5;
inline constexpr const char* builtInSlotKeys[profileSlotCount] = {"builtIn1Key", "builtIn2Key", "builtIn3Key",
                                                                  "builtIn4Key", "builtIn5Key"};
inline constexpr const char* desktopSlotKeys[profileSlotCount] = {"desktop1Key", "desktop2Key", "desktop3Key",
                                                                  "desktop4Key", "desktop5Key"};
inline constexpr const char* headphoneSlotKeys[profileSlotCount] = {"headphone1Key", "headphone2Key", "headphone3Key",
                                                                    "headphone4Key", "headphone5Key"};

}  // namespace auralith::settings
