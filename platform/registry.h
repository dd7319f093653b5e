#pragma once
// A file-backed stand-in for the current user's registry (HKEY_CURRENT_USER),
// with the Windows calls' names, status codes and semantics.
//
// The store is one UTF-8 text file per user:
//   $XDG_CONFIG_HOME/dunmarrow/registry   ($XDG_CONFIG_HOME defaults to ~/.config)
// The folder is created with mode 0700, the file is always mode 0600 and is
// replaced atomically (temporary file in the same folder, fsync, rename) under
// an advisory lock, so readers see either the old or the new store, never a
// torn one. Key paths and value names compare ignoring ASCII case.
//
// File format: a first line "DUNMARROW REGISTRY 1"; then per key a line
// "[" path "]" followed by its values, one per line:
//   "name"=sz:text           REG_SZ (the terminator is implied)
//   "name"=dword:0000002a    REG_DWORD, 8 lowercase hex digits
//   "name"=hex(7):61,00,00   any other type or size: type in decimal, bytes in hex
// Paths, names and texts are escaped so that every line stays one line:
// \\ backslash, \" quote, \r \n \t, \0 for NUL, and \uXXXX for any other
// control character or an unpaired surrogate. Lines end with LF.
#include <cstdint>
#include <string>

namespace platform {

using DWORD = uint32_t;
using LSTATUS = int32_t;
using REGSAM = uint32_t;

inline constexpr LSTATUS ERROR_SUCCESS = 0;
inline constexpr LSTATUS ERROR_FILE_NOT_FOUND = 2;
inline constexpr LSTATUS ERROR_ACCESS_DENIED = 5;
inline constexpr LSTATUS ERROR_INVALID_HANDLE = 6;
inline constexpr LSTATUS ERROR_WRITE_FAULT = 29;
inline constexpr LSTATUS ERROR_INVALID_PARAMETER = 87;
inline constexpr LSTATUS ERROR_MORE_DATA = 234;
inline constexpr LSTATUS ERROR_BADDB = 1009;  // the store file is damaged

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;

inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

struct registry_key;  // an open key; only the functions below look inside
using HKEY = registry_key*;

// The root of the current user's keys; never closed.
extern const HKEY HKEY_CURRENT_USER;

// Opens the key, creating it (and the store) when missing.
LSTATUS RegCreateKeyExW(HKEY root, const std::u16string& subkey, REGSAM access, HKEY* result);
// Opens an existing key; ERROR_FILE_NOT_FOUND when there is none.
LSTATUS RegOpenKeyExW(HKEY root, const std::u16string& subkey, REGSAM access, HKEY* result);
// With data null, answers the type and the size needed. With a buffer that
// is too small, answers ERROR_MORE_DATA and the size needed.
LSTATUS RegQueryValueExW(HKEY key, const std::u16string& name, DWORD* type, uint8_t* data,
                         DWORD* size);
// REG_SZ data is UTF-16 of an even size (a final NUL is dropped on storing and
// given back on reading); REG_DWORD data of 4 bytes is stored as a number.
LSTATUS RegSetValueExW(HKEY key, const std::u16string& name, DWORD type, const uint8_t* data,
                       DWORD size);
LSTATUS RegCloseKey(HKEY key);

// The store file now in use (follows $XDG_CONFIG_HOME and $HOME at each call).
std::string registry_file_path();

}  // namespace platform
