#pragma once
// A bounded little-endian view of bytes read from a database file. Every
// access checks its range, so a damaged length or offset becomes a "corrupt
// file" error instead of a read outside the buffer. The viewed bytes and the
// file name must outlive the view.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "jet/format/error.h"

class jet_view {
 public:
  jet_view() = default;
  jet_view(const uint8_t* data, size_t size, const std::string& file)
      : data_(data), size_(size), file_(&file) {}
  jet_view(const std::vector<uint8_t>& bytes, const std::string& file)
      : jet_view(bytes.data(), bytes.size(), file) {}

  size_t size() const { return size_; }
  const uint8_t* data() const { return data_; }
  const std::string& file() const { return *file_; }

  bool fits(size_t offset, size_t length) const {
    return offset <= size_ && length <= size_ - offset;
  }
  void require(size_t offset, size_t length, const char* what) const {
    if (!fits(offset, length)) throw jet_corrupt(file(), what);
  }

  uint8_t u8(size_t offset) const {
    require(offset, 1, "field outside its block");
    return data_[offset];
  }
  uint16_t u16(size_t offset) const {
    require(offset, 2, "field outside its block");
    return uint16_t(data_[offset] | data_[offset + 1] << 8);
  }
  uint32_t u24(size_t offset) const {
    require(offset, 3, "field outside its block");
    return uint32_t(data_[offset]) | uint32_t(data_[offset + 1]) << 8 |
           uint32_t(data_[offset + 2]) << 16;
  }
  uint32_t u32(size_t offset) const {
    require(offset, 4, "field outside its block");
    return uint32_t(data_[offset]) | uint32_t(data_[offset + 1]) << 8 |
           uint32_t(data_[offset + 2]) << 16 | uint32_t(data_[offset + 3]) << 24;
  }
  uint64_t u64(size_t offset) const {
    return uint64_t(u32(offset)) | uint64_t(u32(offset + 4)) << 32;
  }
  double f64(size_t offset) const {
    uint64_t bits = u64(offset);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  float f32(size_t offset) const {
    uint32_t bits = u32(offset);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  jet_view sub(size_t offset, size_t length, const char* what = "block outside its page") const {
    require(offset, length, what);
    return jet_view(data_ + offset, length, *file_);
  }
  std::vector<uint8_t> bytes(size_t offset, size_t length) const {
    require(offset, length, "value outside its row");
    return std::vector<uint8_t>(data_ + offset, data_ + offset + length);
  }

 private:
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  const std::string* file_ = nullptr;
};

// Little-endian stores into a buffer the writer owns; the writer sizes it.
inline void jet_put_u16(uint8_t* at, uint16_t value) {
  at[0] = uint8_t(value);
  at[1] = uint8_t(value >> 8);
}
inline void jet_put_u32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = uint8_t(value >> (8 * i));
}
