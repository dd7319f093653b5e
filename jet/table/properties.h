#pragma once
// Property blocks (the LvProp column of the catalog): after "MR2\0" (Jet 3:
// "KKD\0"), a chunk of property names, then one chunk of values for the
// object itself and one per column, each value naming its property by index
// into the names. Names and text values are in the file's text form.
#include <cstdint>
#include <string>
#include <vector>

#include "jet/format/format.h"

struct jet_property {
  std::u16string name;
  uint8_t type = 0;        // DAO type code of the value
  uint8_t ddl = 0;         // 1: a data-definition property
  std::vector<uint8_t> value;  // stored bytes
};

struct jet_property_block {
  std::u16string name;     // empty for the object itself, else a column name
  bool is_object = false;
  std::vector<jet_property> properties;

  const jet_property* find(const std::u16string& property_name) const;
};

// Empty input gives no blocks. A block that does not parse raises 3049.
std::vector<jet_property_block> jet_decode_properties(const std::vector<uint8_t>& stored, const jet_format& format,
                                                      const std::string& file);

// The names chunk of stored properties; Access keeps names no value uses.
std::vector<std::u16string> jet_decode_property_names(const std::vector<uint8_t>& stored, const jet_format& format,
                                                      const std::string& file);

// The stored form of property blocks (the object's block first): the names
// chunk lists `names` first, then every other name once, in order of use.
std::vector<uint8_t> jet_encode_properties(const jet_format& format, const std::vector<jet_property_block>& blocks,
                                           const std::vector<std::u16string>& names = {});

// Properties as Access stores the data-definition ones (ddl 1): Required and
// AllowZeroLength as Booleans, DefaultValue as Memo text.
jet_property jet_boolean_property(const std::u16string& name, bool value);
jet_property jet_text_property(const jet_format& format, const std::u16string& name, const std::u16string& text);
