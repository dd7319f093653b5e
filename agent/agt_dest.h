#pragma once
// The agent's check of the destination file before a run.
#include <string>

// The checks every front end makes, then, in mode 0, the removal of an
// existing file (a failure to remove it is a tk_exception_ex). Other modes
// keep the file.
void check_dest(const std::u16string& destination);
