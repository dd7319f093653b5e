#pragma once
// A forward-only result set over one SELECT statement. The statement is
// described first (executed without fetching) to make one column adapter per
// column and the schema; then it is prepared again on the result set's own
// statement, defined and executed, and rows are fetched in batches of
// batch_rows, fewer when their buffers would pass batch_bytes, then handed on
// one at a time. A fetch error is raised at the row it concerns,
// after the rows fetched before it.
//
// Reading protocol: is_eof fetches the next row and answers whether there was
// none; get_item then hands out that row; next does nothing. The record that
// get_item returns belongs to the result set and holds that row until the
// next get_item, which fills the same record with the next row, or the end
// of the result set.
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "ORA/ora_stmt.h"
#include "ORA/ora_type.h"
#include "UDB/udb_rset.h"

class ora_query_results : public udb_recordset {
 public:
  // A table or stored query, initialized later by its owner.
  ora_query_results(const std::u16string& name, const std::u16string& select_text);
  // An internal query, initialized at once. column_count 0 takes every
  // column of the select list.
  ora_query_results(int32_t column_count, const std::u16string& statement_text);
  ~ora_query_results() override;

  void initialize(int32_t column_count, const std::u16string& statement_text);
  bool is_initialized() const { return initialized_; }

  // A result set is read-only: writing into it is an internal error.
  void append_record(udb_record& record) override;
  udb_record* get_item() override;
  bool is_eof() override;

  static std::unique_ptr<ora_type> gen_co_by_type(OCIParam* column, ub2 type_code);
  static constexpr ub4 batch_rows = 100;
  static constexpr size_t batch_bytes = 4 << 20;

  const std::vector<std::unique_ptr<ora_type>>& columns() const { return columns_; }
  std::vector<std::unique_ptr<ora_type>>& columns() { return columns_; }

 protected:
  // One row into the adapters; false when there was none.
  bool fetch_row();

  int32_t column_count_ = 0;
  bool fetched_ = false;  // a row was fetched by is_eof and not handed out yet
  bool initialized_ = false;

 private:
  // The next batch into the adapters' slots; false when no row came.
  bool fetch_batch();

  ora_stmt statement_;
  std::vector<std::unique_ptr<ora_type>> columns_;
  ub4 batch_ = 1;      // rows a fetch asks for
  ub4 in_batch_ = 0;   // rows the last fetch brought
  ub4 next_slot_ = 0;  // the slot of the next row to hand on
  bool last_batch_ = false;          // the fetch reached the end
  std::exception_ptr fetch_error_;  // raised once the rows before it are handed on
  std::unique_ptr<ora_record> current_;
};
