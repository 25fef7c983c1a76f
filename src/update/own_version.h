#pragma once

// The version text of this program: shown in the about pane, sent in the
// profile request form and compared with the published version.

namespace auralith {

inline constexpr const char* kOwnVersionString = "1.2.4";

}  // namespace auralith
