#include "jet/database/database.h"

#include <cwctype>

#include "jet/format/error.h"
#include "jet/format/format.h"

bool jet_same_name(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::towupper(wint_t(a[i])) != std::towupper(wint_t(b[i]))) return false;
  return true;
}

jet_database::jet_database(const std::string& path, bool read_only, bool exclusive)
    // Held before anything is read, so that a writer's half-written file is
    // never looked at, and a journal a dead writer left is played back first.
    : lock_(std::make_unique<jet_lock>(path, read_only, exclusive)),
      pager_(std::make_unique<jet_pager>(path, !read_only)) {
  header_ = jet_read_header(pager_->read_prefix(jet_format_jet4().page_size), path);
  pager_->set_format(*header_.format);
  if (pager_->page_count() <= jet_const::catalog_tdef_page) throw jet_corrupt(path, "file shorter than its catalog");
  catalog_def_ = jet_read_tdef(*pager_, jet_const::catalog_tdef_page);
  catalog_ = jet_read_catalog(*pager_, catalog_def_);
}

std::vector<const jet_catalog_entry*> jet_database::tables() const {
  std::vector<const jet_catalog_entry*> found;
  for (const jet_catalog_entry& entry : catalog_)
    if (entry.is_table()) found.push_back(&entry);
  return found;
}

const jet_catalog_entry* jet_database::find_table(const std::u16string& name) const {
  for (const jet_catalog_entry& entry : catalog_)
    if (entry.is_table() && jet_same_name(entry.name, name)) return &entry;
  return nullptr;
}

jet_table_def jet_database::table_def(const jet_catalog_entry& table) const {
  if (!table.is_local_table()) throw jet_error(jet_dao_error::invalid_argument, "A linked table has no local definition.");
  return jet_read_tdef(*pager_, table.tdef_page());
}

std::vector<jet_property_block> jet_database::properties(const jet_catalog_entry& entry) const {
  return jet_decode_properties(entry.lv_prop, pager_->format(), pager_->path());
}

jet_pager& jet_database::pager_for_update() {
  if (!pager_->writable())
    throw jet_error(jet_dao_error::read_only, "Database '" + path() + "' is opened read-only.");
  return *pager_;
}

void jet_database::reload_catalog() {
  catalog_def_ = jet_read_tdef(*pager_, jet_const::catalog_tdef_page);
  catalog_ = jet_read_catalog(*pager_, catalog_def_);
}
