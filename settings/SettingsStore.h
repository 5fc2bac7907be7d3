#pragma once

// Loading the settings record from the registry store at start and saving it at close.

#include <string>

namespace settings {

struct Settings;
class RegistryStore;

// Fills every loaded field. A value that is missing, blank, not a number where one is needed, or
// outside its control's range gives the field's default; the two folders default to desktopFolder.
// A stored TargetSize that ParseTargetSize does not read gives the default too.
void LoadSettings(Settings& settings, RegistryStore& registry, const std::string& desktopFolder);
// Writes the saved fields as text. Movie, optMovieFolder and MovieFolder are never written; the four
// typed texts are written only when not empty, and TargetSize only when it reads as a size, so an
// emptied box keeps the stored value.
void SaveSettings(const Settings& settings, RegistryStore& registry);

} // namespace settings
