#pragma once
// Text as Jet 4 stores it: UTF-16LE, or Access's compressed form, which
// begins with FF FE and then alternates between one-byte characters (high
// byte zero) and two-byte characters at every 00 byte. These are the Jet 4
// forms behind jet_format's text members, which readers and writers use.
#include <cstdint>
#include <string>
#include <vector>

// Decodes stored text bytes. An odd trailing byte of a UTF-16 run is dropped,
// as Access ignores it.
std::u16string jet_decode_text(const uint8_t* bytes, size_t length);

// Encodes text in the compressed form when that is shorter and possible
// (no character with a zero low byte), otherwise as plain UTF-16LE.
std::vector<uint8_t> jet_encode_text(const std::u16string& text, bool allow_compression);
// The same into `out` (replaced), whose allocation is used again.
void jet_encode_text(const std::u16string& text, bool allow_compression, std::vector<uint8_t>& out);
// The length jet_encode_text gives, without encoding.
size_t jet_encoded_text_size(const std::u16string& text, bool allow_compression);
