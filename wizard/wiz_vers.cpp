#include "wizard/wiz_vers.h"

#include <cstdio>

uint32_t gui_library_version(const char* version_text) {
  unsigned major = 0, minor = 0;
  if (!version_text || std::sscanf(version_text, "%u.%u", &major, &minor) != 2) return 0;
  return (major << 16) | (minor & 0xFFFFu);
}

bool gui_library_usable(uint32_t running, uint32_t built) { return running != 0 && running >= built; }
