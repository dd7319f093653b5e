#pragma once
// The start-up check of the user-interface library, as (major << 16) | minor:
// the Qt found at run time must not be older than the one we were built with.
#include <cstdint>

uint32_t gui_library_version(const char* version_text);
bool gui_library_usable(uint32_t running, uint32_t built);

inline constexpr char gui_library_message[] =
    "Incorrect version of the Qt library. Qt 6.4\nor later is required to proceed with the application.";
