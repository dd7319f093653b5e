#pragma once
// Tests on files and folders. Wide names are converted to the ANSI code page.
#include <string>

// Mode of tk_is_file_exist: tk_open_read_write asks for reading and writing;
// any other value (Windows callers pass 0x4000) asks for reading only.
inline constexpr int tk_open_read_write = 1;
inline constexpr int tk_open_read = 0x4000;

// True when the name is an existing regular file that can be opened in the
// mode. A folder is not a file. For reading and writing the file must also be
// writable by its permission bits: a file with no write bit at all counts as
// read-only even for root, who could otherwise open anything.
bool tk_is_file_exist(const std::string& name, int mode);
bool tk_is_file_exist(const std::u16string& name, int mode);

// True when the name is an existing folder.
bool tk_is_path_exist(const std::string& name);
bool tk_is_path_exist(const std::u16string& name);

// The program's own file (/proc/self/exe); failure is an internal error
// naming tk_utils.
std::string tk_module_file_name();
