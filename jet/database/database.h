#pragma once
// An open database of either version: its header, catalog and the tables' definitions,
// properties and rows. The DAO objects sit on this class.
#include <memory>
#include <string>
#include <vector>

#include "jet/file/lock.h"
#include "jet/file/pager.h"
#include "jet/format/header.h"
#include "jet/table/catalog.h"
#include "jet/table/cursor.h"
#include "jet/table/definition.h"
#include "jet/table/properties.h"

class jet_database {
 public:
  // Opens an existing file: 3024 missing, 3343 not a database of a version this engine reads,
  // 3049 damaged, 3051 cannot be opened for writing, 3045 in use by an
  // exclusive holder (or by anyone, when opened exclusively).
  jet_database(const std::string& path, bool read_only, bool exclusive = false);
  jet_database(const jet_database&) = delete;
  jet_database& operator=(const jet_database&) = delete;

  const std::string& path() const { return pager_->path(); }
  const jet_header& header() const { return header_; }
  const jet_pager& pager() const { return *pager_; }
  const jet_format& format() const { return pager_->format(); }
  bool exclusive() const { return lock_->exclusive(); }
  // The lock file that lists this opener; empty for exclusive holders.
  const std::string& lock_file() const { return lock_->lock_file(); }
  // The pager for changing the file; 3051 when the database is read-only.
  jet_pager& pager_for_update();
  // Reads the catalog again after it changed.
  void reload_catalog();
  const std::vector<jet_catalog_entry>& catalog() const { return catalog_; }

  // Table entries (local and linked, system ones included) in catalog order.
  std::vector<const jet_catalog_entry*> tables() const;
  // By name, compared without regard to letter case as Access does; null when absent.
  const jet_catalog_entry* find_table(const std::u16string& name) const;
  // A local table's definition (3049 when the entry points at no definition).
  jet_table_def table_def(const jet_catalog_entry& table) const;
  std::vector<jet_property_block> properties(const jet_catalog_entry& entry) const;

 private:
  // Declared first so that it is released last, once the pager has finished
  // with the file.
  std::unique_ptr<jet_lock> lock_;
  std::unique_ptr<jet_pager> pager_;
  jet_header header_;
  jet_table_def catalog_def_;
  std::vector<jet_catalog_entry> catalog_;
};

// Access compares object names without regard to case.
bool jet_same_name(const std::u16string& a, const std::u16string& b);
