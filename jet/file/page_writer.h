#pragma once
// Changing pages of a database open for update: new pages (free ones first,
// then at the end of the file), rows added to data pages, bits set in usage maps.
#include <cstdint>
#include <vector>

class jet_pager;
struct jet_format;

// A fresh data page for `owner` (a TDEF page, or the LVAL tag).
std::vector<uint8_t> jet_new_data_page(const jet_format& format, uint32_t owner);
// Free bytes a data page reports.
uint32_t jet_page_free_space(const std::vector<uint8_t>& page);
// Adds a row to a data page; returns its row number, or -1 when it does not fit.
int jet_page_add_row(const jet_format& format, std::vector<uint8_t>& page, const std::vector<uint8_t>& row);
// What a writer adding row after row to one page knows of it: its row count
// and lowest row start after the last add, which spare the next add a pass
// over the row table. A fill of another page, or of a page changed since,
// must not be passed (a fresh fill always may).
struct jet_page_fill {
  uint32_t rows = 0;  // 0: nothing known
  uint32_t lowest = 0;
};
int jet_page_add_row(const jet_format& format, std::vector<uint8_t>& page, const std::vector<uint8_t>& row,
                     jet_page_fill& fill);

// Sets or clears a page's bit in the usage map stored in the row `pointer`
// names. Returns false when the map does not cover the page. Inline maps
// are changed in place; reference maps in their bitmap page.
bool jet_usage_map_mark(jet_pager& pager, uint32_t pointer, uint32_t page, bool set);

// Takes a page the global map lists as free inside the file and clears its
// bit (the map lists free pages); 0 when there is none. The page keeps its
// old bytes until the caller writes it.
uint32_t jet_take_free_page(jet_pager& pager);

// A new page written as `bytes`: a free page of the file when there is one,
// else one appended at its end; either way recorded as in use in the global
// map. Returns its number.
uint32_t jet_append_page(jet_pager& pager, const std::vector<uint8_t>& bytes);

// Usage-map rows of new tables, gathered on data pages of their own (owner
// 0) as Access keeps them. Each row is an empty inline map (69 bytes in
// Jet 4, 133 in Jet 3).
class jet_map_rows {
 public:
  explicit jet_map_rows(jet_pager& pager) : pager_(pager) {}
  uint32_t add();  // a new map row; returns its row pointer

 private:
  jet_pager& pager_;
  uint32_t page_ = 0;
};
