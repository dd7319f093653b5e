#pragma once
// ole_variant: the typed value every cell travels in. An OLE Automation VARIANT
// plus side storage: the 64-bit integers live in their own members (the
// VARIANT only carries VT_I8/VT_UI8), and a date keeps its SYSTEMTIME so that
// milliseconds survive. Binary values are one-dimensional byte arrays
// (VT_ARRAY|VT_UI1, lower bound 0). Every value owns its string and its array;
// copies own their own.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "OLE/ole_excp.h"
#include "platform/oleauto.h"

// The one-dimensional byte array that carries binary values.
constexpr VARTYPE VT_BINARY_ARRAY = VT_ARRAY | VT_UI1;

class ole_variant {
 public:
  ole_variant();
  ole_variant(bool value);
  ole_variant(char value);
  ole_variant(signed char value);
  ole_variant(unsigned char value);
  ole_variant(short value);
  ole_variant(unsigned short value);
  ole_variant(int value);
  ole_variant(unsigned int value);
  ole_variant(long value);                // 64-bit here: VT_I8
  ole_variant(unsigned long value);       // VT_UI8
  ole_variant(long long value);           // VT_I8
  ole_variant(unsigned long long value);  // VT_UI8
  ole_variant(float value);
  ole_variant(double value);
  ole_variant(const std::string& text);  // ANSI code page
  ole_variant(const char* text);         // ANSI code page; null is the empty text
  ole_variant(const std::u16string& text);
  ole_variant(const char16_t* text);     // null is the empty text
  ole_variant(const SYSTEMTIME& time);
  ole_variant(const CY& currency);
  ole_variant(const DECIMAL& decimal);
  ole_variant(BSTR text);                // copied; the caller keeps its string
  ole_variant(const BYTE* bytes, size_t length);
  ole_variant(const std::vector<BYTE>& bytes);
  // Takes a copy of a VARIANT handed over by an engine: a date also fills the
  // SYSTEMTIME, VT_I8/VT_UI8 fill the side values.
  explicit ole_variant(const VARIANT& value);

  ole_variant(const ole_variant& other);
  ole_variant(ole_variant&& other) noexcept;  // leaves other VT_EMPTY
  ole_variant& operator=(const ole_variant& other);
  ole_variant& operator=(ole_variant&& other) noexcept;
  virtual ~ole_variant();

  virtual std::string to_string() const;
  virtual std::u16string to_wstring() const;

  // ---- reading ----
  VARTYPE get_type() const { return var_.vt; }
  LONG to_long() const;
  double to_double() const;
  // Points *bytes at the array's data (valid while this value lives and is not
  // changed) and returns the element count; 0 for an empty or null value.
  size_t get_bytes(const BYTE** bytes) const;
  static size_t get_safe_array_size(SAFEARRAY* array);
  int64_t get_i8() const { return hyper_; }
  uint64_t get_ui8() const { return uhyper_; }
  const SYSTEMTIME& get_system_time() const { return time_; }
  // The inner VARIANT as handed to an engine (for VT_I8/VT_UI8 only the type).
  const VARIANT& get_variant() const { return var_; }

  // ---- building ----
  void allocate_safe_array(size_t size);
  void attach_binary(size_t length, const BYTE* bytes);
  void attach_binary(const std::vector<BYTE>& bytes);
  void attach_string(const std::string& text);
  void attach_wstring(std::u16string_view text);
  // In place: the value assigning ole_variant(value) gives, without making
  // and clearing a temporary (a row's cells are set this way value by value).
  void set_empty();
  void set(signed char value);
  void set(short value);
  void set(int value);
  void set(double value);
  void set(const DECIMAL& value);
  void set(const SYSTEMTIME& time);
  // Parse text into a value of the requested type; see ole_vpars.cpp.
  void from_string(const std::string& text, VARTYPE type);
  void from_wstring(std::u16string_view text, VARTYPE type);
  // Converts in place; raises ole_cast_exception when the change is not supported.
  void change_type(VARTYPE type);

 protected:
  void clear();  // destroys an owned array, clears the VARIANT, zeroes the side values
  void copy_from(const ole_variant& other);
  void set_system_time(const SYSTEMTIME& time);  // VT_DATE with its date number
  void take_binary_copy(SAFEARRAY* array);
  void attach_bstr(const OLECHAR* text, size_t length);
  // Drops the value as clear does, then starts one of the given type.
  void start(VARTYPE type);

  int64_t hyper_ = 0;    // the value while the type is VT_I8
  uint64_t uhyper_ = 0;  // the value while the type is VT_UI8
  SYSTEMTIME time_{};    // the value while the type is VT_DATE
  VARIANT var_;          // its vt is the type of the whole value

 private:
  void parse_text(const char* text, size_t length, VARTYPE type);
  void parse_integer(const char* text, VARTYPE type);
  void parse_binary(std::string_view text);
  void parse_through_automation(const std::string& text, VARTYPE type);
  void change_from_hyper(VARTYPE type);
  void change_to_hyper(VARTYPE type);
  void change_to_binary(VARTYPE type);
  std::string array_to_string() const;
};
