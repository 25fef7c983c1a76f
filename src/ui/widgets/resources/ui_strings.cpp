#include "ui/widgets/resources/ui_strings.h"

#include <algorithm>
#include <iterator>

#include "auralith_version.h"

namespace {

struct StringEntry {
  int number;
  const char* text;
};

// Sorted by number.
constexpr StringEntry kStrings[] = {
    {135, "Close"},
    {136, "Info"},
    {137, "Preferences"},
    {141, "Set a profile for speakers built into your computer"},
    {142, "Set a profile for any audio device plugged into your computer"},
    {143, "Turn Halvorn process on/off"},
    {144, "Set a profile for your headphones"},
    {145, AURALITH_VERSION},  // the product version, as the build sets it
    {148, "Choose \"music\" preset"},
    {149, "Choose \"movies\" preset"},
    {150, "Process audio for listening via built-in speakers"},
    {151, "Process audio for listening via desktop speakers"},
    {152, "Process audio for listening via headphones"},
    {153, "This is the profile you are currently listening to"},
    {154, "Click to make this profile active"},
    {155, "Choose a profile that more closely resembles your device"},
    {156, "Choose where you want ULX audio to come out of your computer"},
    {158, "Open the Sound Settings window for your computer"},
    {159, "Open online help page"},
    {160, "Enable K.I.R.O for healthy earphone listening on Headphones output only"},
    {161, "Help keep kids hearing safe by locking K.I.R.O."},
    {172,
     "A new version of the ULX Plug-In is now available!  "
     "Click here to download the update."},
    {177, "Unlock"},
    {178, "Settings"},
    {179, "ULX Equalizer"},
    {180, "About"},
    {181, "Version "},
    {186, "Lock"},
    {187, "Fetching profile data from server..."},
};

static_assert(std::is_sorted(std::begin(kStrings), std::end(kStrings),
                             [](const StringEntry& a, const StringEntry& b) { return a.number < b.number; }),
              "the string table must stay sorted by number");

}  // namespace

QString UiString(int number) {
  const auto* found = std::lower_bound(std::begin(kStrings), std::end(kStrings), number,
                                       [](const StringEntry& entry, int n) { return entry.number < n; });
  if (found == std::end(kStrings) || found->number != number) {
    return {};
  }
  return QString::fromUtf8(found->text);
}
