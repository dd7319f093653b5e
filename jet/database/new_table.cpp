#include "jet/database/new_table.h"

#include <algorithm>
#include <ctime>

#include "jet/database/database.h"
#include "jet/database/table_writer.h"
#include "jet/file/page_writer.h"
#include "jet/format/byte_view.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/format/format.h"
#include "platform/code_page_table.h"
#include "jet/index/index_key.h"
#include "jet/index/tree_image.h"
#include "jet/table/cursor.h"
#include "jet/table/definition_writer.h"

namespace {

constexpr uint16_t general_sort_order = 0x409;
constexpr uint32_t tables_container_id = 0x0f000001;
constexpr int64_t full_rights = 1048319;  // the rights Access grants on a new table

// Access names: 1 to 64 characters, no leading space, no control characters
// and none of . ! ` [ ].
// A stamp of the format's new definitions, where the version has one.
void stamp(const jet_format::stamp& stamp, uint8_t* descriptor) {
  if (stamp.offset == jet_format::absent) return;
  for (uint32_t i = 0; i < stamp.size; ++i) descriptor[stamp.offset + i] = uint8_t(stamp.value >> (8 * i));
}

// The order Access keeps names in within a definition: letter case aside.
bool name_before(const std::u16string& a, const std::u16string& b) {
  auto upper = [](char16_t c) { return char16_t(c < 128 ? std::toupper(c) : c); };
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [&](char16_t x, char16_t y) { return upper(x) < upper(y); });
}

void check_name(const std::u16string& name) {
  bool bad_character = false;
  for (char16_t c : name)
    if (c < 0x20 || c == u'.' || c == u'!' || c == u'`' || c == u'[' || c == u']') bad_character = true;
  if (name.empty() || name.size() > 64 || name.front() == u' ' || bad_character)
    throw jet_error(3125, "'" + std::string(name.begin(), name.end()) + "' isn't a valid name.");
}

// The table's property block: one block per column that has properties,
// after the table's own (empty) block.
std::vector<uint8_t> property_block_of(const jet_format& format, const std::vector<jet_new_column>& columns,
                                       const std::vector<std::vector<jet_property>>& properties) {
  std::vector<jet_property_block> blocks(1);
  blocks[0].is_object = true;
  for (size_t i = 0; i < properties.size(); ++i) {
    if (properties[i].empty()) continue;
    jet_property_block block;
    block.name = columns[i].name;
    block.properties = properties[i];
    blocks.push_back(std::move(block));
  }
  if (blocks.size() == 1) return {};
  return jet_encode_properties(format, blocks);
}

}  // namespace

void jet_write_new_table(jet_pager& pager, jet_table_def& def, jet_map_rows& maps, std::vector<uint32_t> chain) {
  // The definition's pages first (the first one's number names the table).
  if (chain.empty()) {
    uint32_t definition_pages =
        jet_tdef_page_count(pager.format(), jet_encode_tdef(def).size() + 16 * def.column_maps.size() + 40);
    for (uint32_t i = 0; i < definition_pages; ++i)
      chain.push_back(jet_append_page(pager, std::vector<uint8_t>(pager.page_size(), 0)));
  }
  def.chain = chain;
  def.page = chain.front();
  def.owned_pages = maps.add();
  def.free_pages = maps.add();
  // Long-value columns' maps, in the order of the columns' names.
  std::vector<const jet_column*> stored;
  for (const jet_column& column : def.columns)
    if (jet_type::is_long_value(column.type)) stored.push_back(&column);
  std::stable_sort(stored.begin(), stored.end(),
                   [](const jet_column* a, const jet_column* b) { return name_before(a->name, b->name); });
  def.column_maps.clear();
  for (const jet_column* column : stored) {
    uint32_t owned = maps.add();
    def.column_maps.push_back({column->number, owned, maps.add()});
  }
  for (jet_real_index& real : def.real_indexes) {
    real.used_pages = maps.add();
    jet_index_image image = jet_build_index(pager.format(), {}, def.page, [&] {
      return jet_append_page(pager, std::vector<uint8_t>(pager.page_size(), 0));
    });
    for (size_t i = 0; i < image.pages.size(); ++i) {
      pager.write_page(image.pages[i], image.images[i]);
      jet_usage_map_mark(pager, real.used_pages, image.pages[i], true);
    }
    real.first_page = image.root;
  }
  std::vector<std::vector<uint8_t>> pages = jet_tdef_pages(pager.format(), jet_encode_tdef(def), def.chain);
  for (size_t i = 0; i < pages.size(); ++i) pager.write_page(def.chain[i], pages[i]);
}

double jet_ole_now() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  // OLE dates count local days from 1899-12-30 (25569 days before 1970-01-01).
  double local_seconds = double(now) + double(local.tm_gmtoff);
  return 25569.0 + local_seconds / 86400.0;
}

uint32_t jet_create_table(jet_database& db, const std::u16string& name, const std::vector<jet_new_column>& columns,
                          const std::vector<jet_new_index>& indexes,
                          const std::vector<std::vector<jet_property>>& column_properties) {
  if (column_properties.size() > columns.size())
    throw jet_error(jet_dao_error::invalid_argument, "More property lists than fields.");
  jet_pager& pager = db.pager_for_update();
  const jet_format& format = pager.format();
  check_name(name);
  if (db.find_table(name)) throw jet_error(3010, "Table '" + std::string(name.begin(), name.end()) + "' already exists.");
  {
    // The catalog's name index must be able to take the name before anything is written.
    jet_column text;
    text.type = jet_type::text;
    jet_value value = jet_value::null(jet_type::text);
    value.is_null = false;
    value.text = name;
    text.sort_order = general_sort_order;
    if (format.code_page) text.code_page = uint16_t(format.code_page->code_page());
    std::vector<uint8_t> key;
    if (!jet_append_key(key, text, value, true))
      throw jet_error(jet_dao_error::invalid_argument, "Names with these characters cannot be indexed yet.");
  }
  if (columns.empty() || columns.size() > 255) throw jet_error(jet_dao_error::invalid_argument, "Invalid field count.");
  if (indexes.size() > 32) throw jet_error(jet_dao_error::invalid_argument, "Too many indexes.");

  jet_table_def def;
  def.format = &format;
  stamp(format.new_definition.head, def.raw_head.data());
  def.auto_flag = 0x01;
  def.table_type = jet_const::table_type_user;

  // Text may take Jet 4's compressed form; Jet 3 text is the code page's bytes.
  const uint8_t compressible = format.column.ext_flags != jet_format::absent ? jet_const::col_ext_flag_compressed : 0;
  // Columns in the order given: fixed ones packed in the fixed area, the
  // others numbered in the variable table.
  uint16_t fixed_offset = 0, var_index = 0;
  for (size_t i = 0; i < columns.size(); ++i) {
    const jet_new_column& spec = columns[i];
    check_name(spec.name);
    for (size_t j = 0; j < i; ++j)
      if (jet_same_name(columns[j].name, spec.name))
        throw jet_error(3191, "Can't define field more than once.");
    if (!format.has_column_type(spec.type)) throw jet_error(3259, "Invalid field data type.");
    jet_column column;
    column.name = spec.name;
    column.type = spec.type;
    column.number = uint16_t(i);
    column.index = uint16_t(i);
    stamp(format.new_definition.column, column.raw.data());
    column.sort_order = general_sort_order;
    column.sort_version = uint8_t(db.header().sort_version);
    if (format.code_page) column.code_page = uint16_t(format.code_page->code_page());
    column.flags = spec.required ? 0 : jet_const::col_flag_nullable;
    uint32_t fixed = jet_type::fixed_size(spec.type);
    switch (spec.type) {
      case jet_type::text:
        if (spec.size < 1 || spec.size > 255) throw jet_error(jet_dao_error::invalid_argument, "Invalid field size.");
        column.length = uint16_t(format.text_bytes(spec.size));
        column.ext_flags = compressible;
        break;
      case jet_type::binary:
        if (spec.size < 1 || spec.size > 255) throw jet_error(jet_dao_error::invalid_argument, "Invalid field size.");
        column.length = spec.size;
        break;
      case jet_type::memo:
        column.ext_flags = compressible;
        break;
      case jet_type::long_binary:
        break;
      case jet_type::boolean:
        column.flags |= jet_const::col_flag_fixed;
        column.length = 1;
        break;
      default:
        if (fixed == 0 || spec.type == jet_type::numeric)
          throw jet_error(jet_dao_error::invalid_argument, "Invalid field data type.");
        column.flags |= jet_const::col_flag_fixed;
        column.length = uint16_t(fixed);
        column.fixed_offset = fixed_offset;
        fixed_offset = uint16_t(fixed_offset + fixed);
    }
    if (spec.auto_increment) {
      if (spec.type != jet_type::long_integer) throw jet_error(jet_dao_error::invalid_argument, "Invalid field data type.");
      column.flags |= jet_const::col_flag_auto_long;
    }
    if (column.is_fixed()) {
      column.var_index = var_index;  // Access stores the count of variable columns before it
    } else {
      column.var_index = var_index++;
    }
    column.stored_position = uint16_t(i);
    def.columns.push_back(column);
  }
  def.max_columns = uint16_t(def.columns.size());
  def.var_column_count = var_index;
  // Descriptors are stored in name order (Jet 4) or number order (Jet 3).
  if (format.columns_in_name_order) {
    std::vector<jet_column*> by_name;
    for (jet_column& column : def.columns) by_name.push_back(&column);
    std::stable_sort(by_name.begin(), by_name.end(),
                     [](const jet_column* a, const jet_column* b) { return name_before(a->name, b->name); });
    for (size_t i = 0; i < by_name.size(); ++i) by_name[i]->stored_position = uint16_t(i);
  }

  // Indexes: one physical index each, numbered in order.
  for (size_t i = 0; i < indexes.size(); ++i) {
    const jet_new_index& spec = indexes[i];
    check_name(spec.name);
    if (spec.columns.empty() || spec.columns.size() > jet_const::real_index_key_columns)
      throw jet_error(jet_dao_error::invalid_argument, "Invalid index definition.");
    jet_real_index real;
    stamp(format.new_definition.real_index, real.raw.data());
    for (const auto& [column_name, ascending] : spec.columns) {
      const jet_column* column = def.find_column(column_name);
      if (!column) throw jet_error(jet_dao_error::item_not_found, "Item not found in this collection.");
      if (jet_type::is_long_value(column->type))
        throw jet_error(jet_dao_error::invalid_argument, "Invalid index definition.");
      real.columns.push_back({column->number, ascending});
    }
    real.flags = format.real_index.flags_set;
    if (spec.unique || spec.primary) real.flags |= jet_const::index_flag_unique;
    if (spec.ignore_nulls) real.flags |= jet_const::index_flag_ignore_nulls;
    if (spec.required || spec.primary) real.flags |= jet_const::index_flag_required;
    def.real_indexes.push_back(real);
    jet_logical_index logical;
    stamp(format.new_definition.logical_index, logical.raw.data());
    logical.name = spec.name;
    logical.number = uint32_t(i);
    logical.real_index = uint32_t(i);
    logical.update_flags = 0x04;  // as in every sample; meaning unverified
    logical.delete_flags = 0x04;
    logical.type = spec.primary ? jet_const::index_type_primary : 0;
    def.indexes.push_back(logical);
  }
  // Logical indexes are stored in name order; their numbers stay as given.
  std::stable_sort(def.indexes.begin(), def.indexes.end(),
                   [](const jet_logical_index& a, const jet_logical_index& b) { return name_before(a.name, b.name); });

  jet_map_rows maps(pager);
  jet_write_new_table(pager, def, maps, {});

  // Permissions: a new table gets the full rights the Tables container passes
  // on, as rows of its own; the first of those users owns it.
  std::vector<std::vector<uint8_t>> heirs;
  const jet_catalog_entry* aces_entry = db.find_table(u"MSysACEs");
  if (aces_entry) {
    jet_table_def aces = db.table_def(*aces_entry);
    jet_table_cursor cursor(db.pager(), aces);
    std::vector<jet_value> ace;
    while (cursor.next(ace))
      if (ace.size() >= 4 && ace[0].integer == tables_container_id && ace[2].integer == full_rights && ace[3].integer)
        heirs.push_back(ace[1].bytes);
  }

  // The catalog row.
  const jet_catalog_entry* catalog_entry = db.find_table(u"MSysObjects");
  if (!catalog_entry) throw jet_corrupt(db.path(), "no catalog");
  jet_table_writer catalog(db, *catalog_entry);
  std::vector<jet_value> row;
  double now = jet_ole_now();
  for (const jet_column& column : catalog.def().columns) {
    jet_value value = jet_value::null(column.type);
    auto set_integer = [&](int64_t number) { value.is_null = false; value.integer = number; };
    if (column.name == u"Id") set_integer(int32_t(def.page));
    else if (column.name == u"ParentId") set_integer(int32_t(tables_container_id));
    else if (column.name == u"Type") set_integer(1);
    else if (column.name == u"Flags") set_integer(0);
    else if (column.name == u"Name") { value.is_null = false; value.text = name; }
    else if (column.name == u"DateCreate" || column.name == u"DateUpdate") { value.is_null = false; value.real = now; }
    else if (column.name == u"Owner" && !heirs.empty()) { value.is_null = false; value.bytes = heirs.front(); }
    else if (column.name == u"LvProp") {
      value.bytes = property_block_of(format, columns, column_properties);
      value.is_null = value.bytes.empty();
    }
    row.push_back(value);
  }
  catalog.append(row);
  catalog.close();
  if (aces_entry && !heirs.empty()) {
    jet_table_writer permissions(db, *aces_entry);
    for (const std::vector<uint8_t>& sid : heirs) {
      std::vector<jet_value> ace;
      for (const jet_column& column : permissions.def().columns) {
        jet_value value = jet_value::null(column.type);
        value.is_null = false;
        if (column.name == u"ObjectId") value.integer = int32_t(def.page);
        else if (column.name == u"SID") value.bytes = sid;
        else if (column.name == u"ACM") value.integer = full_rights;
        else if (column.name == u"FInheritable") value.integer = 0;
        else value.is_null = true;
        ace.push_back(value);
      }
      permissions.append(ace);
    }
    permissions.close();
  }
  db.reload_catalog();
  return def.page;
}
