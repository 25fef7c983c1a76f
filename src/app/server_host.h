#pragma once

#include <QString>

// The profile server host of each server mode; every server client asks
// here (through AUlxApp::GetServerHost) so the names live in one place.

namespace auralith::app {

inline constexpr const char* kProductionServerHost = "profiles.auralith.example";
inline constexpr const char* kStagingServerHost = "staging.profiles.auralith.example";
inline constexpr const char* kLocalServerHost = "localhost";

QString ServerHostForMode(int serverMode);

}  // namespace auralith::app
