#pragma once
// The agent's check of the destination file before a run.
#include <string>

// The checks every front end makes, then, in mode 0, that the run may
// replace the file when it has finished. Nothing on disk changes.
void check_dest(const std::u16string& destination);
