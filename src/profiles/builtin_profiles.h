#pragma once

#include <array>
#include <string>

namespace auralith::profiles {

// Listening categories in the order of the settings and equalizer panes.
enum class PaneCategory { BuiltIn = 0, Desktop = 1, Headphones = 2 };

inline constexpr int kProfileSlots = 5;

// File names of the built-in profiles, by pane category and slot (slot 1
// first). They are installed into the profile folder with their pictures.
inline constexpr std::array<std::array<const char*, kProfileSlots>, 3> kBuiltinProfileFiles = {{
    {"Varrow Laptop.hvnp", "Quellin Laptop.hvnp", "Dorvane Netbook.hvnp", "Sipharo Laptop.hvnp", "Tennet Laptop.hvnp"},
    {"Brevik Speakers.hvnp", "Ormund Speakers.hvnp", "Lusker Speakers.hvnp", "Pelmora Speakers.hvnp",
     "Yarrick Speakers.hvnp"},
    {"Varrow Headphones.hvnp", "Tennet Headphones.hvnp", "Dorvane Headphones.hvnp", "Sipharo Headphones.hvnp",
     "Quellin Headphones.hvnp"},
}};

// The built-in file of a slot (1 to 5).
inline const char* BuiltinProfileFile(PaneCategory category, int slot) {
  return kBuiltinProfileFiles[static_cast<std::size_t>(category)][static_cast<std::size_t>(slot - 1)];
}

// The built-in file named by a display name ("Varrow Laptop") or a file
// name ("Varrow Laptop.hvnp"), or an empty string when there is none.
std::string FindBuiltinProfileFile(const std::string& name);

}  // namespace auralith::profiles
