#include "jet/table/properties.h"

#include "jet/format/byte_view.h"
#include "jet/format/error.h"
#include "jet/format/format.h"

const jet_property* jet_property_block::find(const std::u16string& property_name) const {
  for (const jet_property& property : properties)
    if (property.name == property_name) return &property;
  return nullptr;
}

namespace {

// Names carry a two-byte length in both versions; the text is the file's.
std::u16string read_name(const jet_format& format, const jet_view& view, size_t& at) {
  uint16_t length = view.u16(at);
  at += 2;
  view.require(at, length, "property name outside its block");
  std::u16string name = format.decode_text(view.data() + at, length);
  at += length;
  return name;
}

}  // namespace

std::vector<jet_property_block> jet_decode_properties(const std::vector<uint8_t>& stored, const jet_format& format,
                                                      const std::string& file) {
  std::vector<jet_property_block> blocks;
  if (stored.empty()) return blocks;
  jet_view view(stored, file);
  if (view.u32(0) != format.property_magic) throw jet_corrupt(file, "property block without its mark");

  std::vector<std::u16string> names;
  size_t at = 4;
  while (at < view.size()) {
    uint32_t chunk_length = view.u32(at);
    uint16_t chunk_type = view.u16(at + 4);
    if (chunk_length < 6) throw jet_corrupt(file, "property chunk too short");
    jet_view chunk = view.sub(at, chunk_length, "property chunk outside its block");
    size_t in = 6;
    if (chunk_type == jet_const::prop_chunk_names) {
      while (in < chunk.size()) names.push_back(read_name(format, chunk, in));
    } else if (chunk_type == jet_const::prop_chunk_object || chunk_type == jet_const::prop_chunk_column) {
      jet_property_block block;
      block.is_object = chunk_type == jet_const::prop_chunk_object;
      in += 4;  // the value block's own length
      block.name = read_name(format, chunk, in);
      while (in < chunk.size()) {
        uint16_t entry_length = chunk.u16(in);
        if (entry_length < 8) throw jet_corrupt(file, "property entry too short");
        jet_view entry = chunk.sub(in, entry_length, "property entry outside its chunk");
        jet_property property;
        property.ddl = entry.u8(2);
        property.type = entry.u8(3);
        uint16_t name_index = entry.u16(4);
        uint16_t value_length = entry.u16(6);
        if (name_index >= names.size()) throw jet_corrupt(file, "property names a missing name");
        property.name = names[name_index];
        property.value = entry.bytes(8, value_length);
        block.properties.push_back(std::move(property));
        in += entry_length;
      }
      blocks.push_back(std::move(block));
    }
    at += chunk_length;
  }
  return blocks;
}

namespace {

void put16(std::vector<uint8_t>& out, size_t value) {
  out.push_back(uint8_t(value));
  out.push_back(uint8_t(value >> 8));
}
void put32(std::vector<uint8_t>& out, size_t value) {
  put16(out, value & 0xffff);
  put16(out, value >> 16);
}
void put_text(const jet_format& format, std::vector<uint8_t>& out, const std::u16string& text) {
  std::vector<uint8_t> stored = format.encode_text(text);
  put16(out, stored.size());
  out.insert(out.end(), stored.begin(), stored.end());
}
void close_chunk(std::vector<uint8_t>& out, size_t start) {
  size_t length = out.size() - start;
  for (int i = 0; i < 4; ++i) out[start + size_t(i)] = uint8_t(length >> (8 * i));
}

}  // namespace

std::vector<uint8_t> jet_encode_properties(const jet_format& format, const std::vector<jet_property_block>& blocks,
                                           const std::vector<std::u16string>& known_names) {
  std::vector<std::u16string> names = known_names;
  auto name_index = [&](const std::u16string& name) {
    for (size_t i = 0; i < names.size(); ++i)
      if (names[i] == name) return i;
    names.push_back(name);
    return names.size() - 1;
  };
  for (const jet_property_block& block : blocks)
    for (const jet_property& property : block.properties) name_index(property.name);

  std::vector<uint8_t> out;
  put32(out, format.property_magic);
  size_t start = out.size();
  put32(out, 0);
  put16(out, jet_const::prop_chunk_names);
  for (const std::u16string& name : names) put_text(format, out, name);
  close_chunk(out, start);
  for (const jet_property_block& block : blocks) {
    start = out.size();
    put32(out, 0);
    put16(out, block.is_object ? jet_const::prop_chunk_object : jet_const::prop_chunk_column);
    // This header: its length, the name's length, the name.
    put32(out, 6 + format.encoded_text_size(block.name, false));
    put_text(format, out, block.name);
    for (const jet_property& property : block.properties) {
      put16(out, 8 + property.value.size());
      out.push_back(property.ddl);
      out.push_back(property.type);
      put16(out, name_index(property.name));
      put16(out, property.value.size());
      out.insert(out.end(), property.value.begin(), property.value.end());
    }
    close_chunk(out, start);
  }
  return out;
}

std::vector<std::u16string> jet_decode_property_names(const std::vector<uint8_t>& stored, const jet_format& format,
                                                      const std::string& file) {
  std::vector<std::u16string> names;
  if (stored.empty()) return names;
  jet_view view(stored, file);
  if (view.u32(0) != format.property_magic) throw jet_corrupt(file, "property block without its mark");
  for (size_t at = 4; at < view.size();) {
    uint32_t chunk_length = view.u32(at);
    if (chunk_length < 6) throw jet_corrupt(file, "property chunk too short");
    jet_view chunk = view.sub(at, chunk_length, "property chunk outside its block");
    if (chunk.u16(4) == jet_const::prop_chunk_names)
      for (size_t in = 6; in < chunk.size();) names.push_back(read_name(format, chunk, in));
    at += chunk_length;
  }
  return names;
}

jet_property jet_boolean_property(const std::u16string& name, bool value) {
  jet_property property;
  property.name = name;
  property.ddl = 1;
  property.type = 1;  // Boolean
  property.value = {uint8_t(value ? 1 : 0)};
  return property;
}

jet_property jet_text_property(const jet_format& format, const std::u16string& name, const std::u16string& text) {
  jet_property property;
  property.name = name;
  property.ddl = 1;
  property.type = 12;  // Memo, as DefaultValue is stored
  property.value = format.encode_text(text);
  return property;
}
