#pragma once
// The pages a table holds, gathered when the table is deleted so that they
// can be listed as free.
#include <cstdint>
#include <vector>

class jet_database;
struct jet_catalog_entry;

// Its definition pages; the data and index pages its own maps list that
// name it as their owner; the long-value pages its columns' maps list whose
// every row is a long value of its rows, unless another table's maps list
// them too or another table's definition cannot be read (then they stay:
// nothing proves them unshared); the bitmap pages of its maps; and the pages
// of its map rows that hold no other row. Ascending, each once.
std::vector<uint32_t> jet_table_pages(const jet_database& db, const jet_catalog_entry& table);
