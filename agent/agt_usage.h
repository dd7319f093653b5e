#pragma once
// The agent's usage text, shown for --help, for a run without arguments and
// for a command line with an argument it does not know.
#include <string>

std::string agent_usage_text();
