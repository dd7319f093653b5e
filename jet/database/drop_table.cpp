#include "jet/database/drop_table.h"

#include "jet/database/database.h"
#include "jet/database/table_pages.h"
#include "jet/database/table_writer.h"
#include "jet/file/page_writer.h"
#include "jet/file/usage_map.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/format/format.h"
#include "jet/table/cursor.h"

namespace {

// Every row of `table` whose `column` equals `id` is deleted.
void delete_rows_of(jet_database& db, const char16_t* table, const char16_t* column, int64_t id) {
  const jet_catalog_entry* entry = db.find_table(table);
  if (!entry) return;
  jet_table_writer writer(db, *entry);
  const jet_table_def& def = writer.def();
  size_t at = 0;
  while (at < def.columns.size() && def.columns[at].name != column) ++at;
  if (at == def.columns.size()) throw jet_corrupt(db.path(), "system table without its columns");
  std::vector<uint32_t> doomed;
  {
    jet_table_cursor cursor(db.pager(), def);
    std::vector<jet_value> row;
    while (cursor.next(row))
      if (!row[at].is_null && row[at].integer == id) doomed.push_back(cursor.position());
  }
  for (uint32_t pointer : doomed) writer.remove(pointer);
  writer.close();
}

}  // namespace

void jet_delete_table(jet_database& db, const std::u16string& name) {
  jet_pager& pager = db.pager_for_update();
  const jet_catalog_entry* table = db.find_table(name);
  if (!table) throw jet_error(jet_dao_error::item_not_found, "Item not found in this collection.");
  if (table->is_system() || !table->is_local_table())
    throw jet_error(jet_dao_error::invalid_argument, "Cannot delete a system or linked table.");
  int32_t id = table->id;
  // A table in a relationship stays: its partner's foreign-key index names it.
  if (const jet_catalog_entry* relationships = db.find_table(u"MSysRelationships")) {
    jet_table_def rel = db.table_def(*relationships);
    jet_table_cursor cursor(db.pager(), rel);
    std::vector<jet_value> row;
    while (cursor.next(row))
      for (size_t i = 0; i < rel.columns.size(); ++i)
        if ((rel.columns[i].name == u"szObject" || rel.columns[i].name == u"szReferencedObject") &&
            jet_same_name(row[i].text, table->name))
          throw jet_error(3303, "Cannot delete the table; it takes part in one or more relationships.");
  }

  // The pages it held, from its maps, before the catalog forgets it.
  std::vector<uint32_t> pages = jet_table_pages(db, *table);

  delete_rows_of(db, u"MSysObjects", u"Id", id);
  delete_rows_of(db, u"MSysACEs", u"ObjectId", id);
  const uint32_t global_map = jet_row_pointer(jet_const::global_usage_map_page, 0);
  for (uint32_t page : pages) jet_usage_map_mark(pager, global_map, page, true);
  db.reload_catalog();
}
