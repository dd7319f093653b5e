#pragma once
// The catalog, MSysObjects: one row per database object (containers, tables,
// queries, relationships...), read through the bootstrap definition on page 2.
#include <cstdint>
#include <string>
#include <vector>

struct jet_catalog_entry {
  int32_t id = 0;              // tables: the definition page in the low 24 bits
  int32_t parent_id = 0;
  std::u16string name;
  int16_t type = 0;
  uint32_t flags = 0;
  double date_create = 0;
  double date_update = 0;
  std::u16string database;     // linked tables: the file
  std::u16string foreign_name; // linked tables: the name there
  std::u16string connect;
  std::vector<uint8_t> lv_prop;
  uint32_t position = 0;       // row pointer of the entry

  bool is_table() const;       // local, linked Access or linked ODBC table
  bool is_local_table() const;
  bool is_system() const;
  // DAO TableDef.Attributes of a table entry.
  uint32_t dao_attributes() const;
  uint32_t tdef_page() const;
};

namespace jet_object_type {
constexpr int16_t table = 1;
constexpr int16_t container = 3;
constexpr int16_t linked_odbc = 4;
constexpr int16_t query = 5;
constexpr int16_t linked_table = 6;
constexpr int16_t relationship = 8;
}  // namespace jet_object_type

namespace jet_object_flag {
constexpr uint32_t system = 0x80000002;
constexpr uint32_t hidden = 0x00000008;
}  // namespace jet_object_flag

namespace jet_table_attribute {
constexpr uint32_t system = 0x80000002;
constexpr uint32_t hidden = 0x00000001;
constexpr uint32_t attached_odbc = 0x20000000;
constexpr uint32_t attached_table = 0x40000000;
}  // namespace jet_table_attribute

class jet_pager;
struct jet_table_def;

// Every catalog row in stored order; a catalog without its Id, Name, Type or
// Flags columns raises 3049.
std::vector<jet_catalog_entry> jet_read_catalog(const jet_pager& pager, const jet_table_def& catalog_def);
