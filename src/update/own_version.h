#pragma once

// The version text of this program: shown in the about pane, sent in the
// profile request form and compared with the published version.

#include "auralith_version.h"

namespace auralith {

inline constexpr const char* kOwnVersionString = kVersionText;

}  // namespace auralith
