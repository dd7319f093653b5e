#pragma once
// A record stream over one table or query: source streams hand out rows
// (is_eof, get_item, next), destination streams take them (append_record).
// The stream owns the record get_item returns; the caller never deletes it.
#include <cstdint>
#include <string>

#include "UDB/udb_fld.h"
#include "UDB/udb_idx.h"
#include "UDB/udb_sche.h"

class udb_recordset {
 public:
  udb_recordset(const std::u16string& name, const std::u16string& select_text, bool owns_schema);
  udb_recordset(const std::u16string& name, bool owns_schema);
  udb_recordset(const udb_recordset&) = delete;
  udb_recordset& operator=(const udb_recordset&) = delete;
  virtual ~udb_recordset();

  virtual void append_record(udb_record& record) = 0;
  // The current row, or null when there is none.
  virtual udb_record* get_item() { return nullptr; }
  virtual bool is_eof() { return true; }
  virtual bool is_query() const { return !select_text_.empty(); }
  virtual void next() {}
  virtual void rewind() {}

  // Changes each value of the record, position by position, to the type of
  // this stream's column at that position. A record with more values than the
  // stream has columns fails as a whole (level 0) before anything changes.
  void convert_record(udb_record& record) const;

  const std::u16string& name() const { return name_; }
  const std::u16string& select_text() const { return select_text_; }
  int32_t record_count() const { return record_count_; }
  udb_schema& schema() { return schema_; }
  const udb_schema& schema() const { return schema_; }
  udb_indexes& indexes() { return indexes_; }
  const udb_indexes& indexes() const { return indexes_; }

 protected:
  std::u16string name_;
  std::u16string select_text_;  // empty for a plain table
  int32_t record_count_ = 0;    // known when the stream is opened
  udb_schema schema_;
  udb_indexes indexes_;
};
