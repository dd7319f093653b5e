#include "jet/table/catalog.h"

#include "jet/file/pager.h"
#include "jet/format/error.h"
#include "jet/format/format.h"
#include "jet/table/cursor.h"
#include "jet/table/definition.h"

bool jet_catalog_entry::is_table() const {
  return is_local_table() || type == jet_object_type::linked_table || type == jet_object_type::linked_odbc;
}
bool jet_catalog_entry::is_local_table() const { return type == jet_object_type::table; }
bool jet_catalog_entry::is_system() const { return (flags & jet_object_flag::system) != 0; }

uint32_t jet_catalog_entry::dao_attributes() const {
  uint32_t attributes = flags & jet_table_attribute::system;
  if (type == jet_object_type::linked_table) attributes |= jet_table_attribute::attached_table;
  if (type == jet_object_type::linked_odbc) attributes |= jet_table_attribute::attached_odbc;
  if (flags & jet_object_flag::hidden) attributes |= jet_table_attribute::hidden;
  return attributes;
}

uint32_t jet_catalog_entry::tdef_page() const { return uint32_t(id) & jet_const::object_id_page_mask; }

std::vector<jet_catalog_entry> jet_read_catalog(const jet_pager& pager, const jet_table_def& def) {
  auto column_at = [&](const char16_t* name, bool required) -> int {
    for (size_t i = 0; i < def.columns.size(); ++i)
      if (def.columns[i].name == name) return int(i);
    if (required) throw jet_corrupt(pager.path(), "catalog without its columns");
    return -1;
  };
  int id = column_at(u"Id", true), parent = column_at(u"ParentId", true), name = column_at(u"Name", true),
      type = column_at(u"Type", true), flags = column_at(u"Flags", true), lv_prop = column_at(u"LvProp", false),
      created = column_at(u"DateCreate", false), updated = column_at(u"DateUpdate", false),
      database = column_at(u"Database", false), foreign = column_at(u"ForeignName", false),
      connect = column_at(u"Connect", false);

  std::vector<jet_catalog_entry> entries;
  jet_table_cursor cursor(pager, def);
  std::vector<jet_value> row;
  while (cursor.next(row)) {
    jet_catalog_entry entry;
    entry.position = cursor.position();
    entry.id = int32_t(row[id].integer);
    entry.parent_id = int32_t(row[parent].integer);
    entry.name = row[name].text;
    entry.type = int16_t(row[type].integer);
    entry.flags = uint32_t(row[flags].integer);
    if (lv_prop >= 0) entry.lv_prop = row[lv_prop].bytes;
    if (created >= 0) entry.date_create = row[created].real;
    if (updated >= 0) entry.date_update = row[updated].real;
    if (database >= 0) entry.database = row[database].text;
    if (foreign >= 0) entry.foreign_name = row[foreign].text;
    if (connect >= 0) entry.connect = row[connect].text;
    entries.push_back(std::move(entry));
  }
  return entries;
}
