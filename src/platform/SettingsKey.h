#pragma once

// The program's key in the settings store, under the current user's root.
inline const char* const HalvornSettingsKey = "Software\\Tamsor\\Halvorn 4410";
