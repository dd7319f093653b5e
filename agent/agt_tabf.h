#pragma once
// The agent's table-names file: one table name per line, CR LF or LF line
// ends, empty lines ignored, blanks kept as part of the name. A file whose
// first non-empty line starts with the UTF-8 byte-order mark is read as UTF-8,
// any other file in the ANSI code page.
#include <string>
#include <vector>

// Longest name a line may hold, in bytes (byte-order mark and line end not
// counted).
constexpr size_t agent_max_table_name_bytes = 254;

// Reads the names in file order. Throws tk_exception (level 1) when the file
// holds a longer line: such a file is refused as a whole rather than split
// into names nobody wrote.
std::vector<std::u16string> read_table_names(const std::string& content);

// Replaces the converter's table list with the names of the file at path.
// A file that cannot be read or is refused ends the process through
// print_and_exit.
void process_tab_file(const std::string& path);
