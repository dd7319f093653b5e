#include "ORA/ora_qres.h"

#include <algorithm>

#include "ORA/ora_engi.h"
#include "TK/tk_excep.h"
#include "TK/tk_trace.h"

ora_query_results::ora_query_results(const std::u16string& name, const std::u16string& select_text)
    : udb_recordset(name, select_text, true) {
  trace(1, "ora_query_results::ctor(2)");
}

ora_query_results::ora_query_results(int32_t column_count, const std::u16string& statement_text)
    : udb_recordset(u"", u"", true) {
  trace(1, "ora_query_results::ctor(1)");
  initialize(column_count, statement_text);
}

ora_query_results::~ora_query_results() {
  trace(1, "ora_query_results::dtor");
  current_.reset();
  for (size_t i = 0; i < columns_.size(); ++i) {
    trace(1, "Step #2.%d", static_cast<int>(i));
    columns_[i].reset();
  }
}

std::unique_ptr<ora_type> ora_query_results::gen_co_by_type(OCIParam* column, ub2 type_code) {
  trace(1, "ora_query_results::gen_co_by_type(%d)", type_code);
  return make_ora_type(column, type_code);
}

void ora_query_results::initialize(int32_t column_count, const std::u16string& statement_text) {
  trace(2, u"ora_query_results::initialize(%d, %s)", column_count, statement_text.c_str());
  TK_CHECK(!initialized_, "ora_qres");
  column_count_ = column_count;
  const ora_oci_calls& api = ora_engine::oci();
  {
    ora_stmt describe;
    describe.prepare(statement_text);
    describe.execute(0);
    if (column_count_ == 0) {
      ub4 count = 0;
      ora_engine::check_status(api.attr_get(describe.handle(), OCI_HTYPE_STMT, &count, nullptr,
                                            OCI_ATTR_PARAM_COUNT, ora_engine::error_handle()));
      column_count_ = static_cast<int32_t>(count);
    }
    for (int32_t i = 1; i <= column_count_; ++i) {
      trace(1, "Processing column #%d", i);
      void* column = nullptr;
      ora_engine::check_status(api.param_get(describe.handle(), OCI_HTYPE_STMT, ora_engine::error_handle(),
                                             &column, static_cast<ub4>(i)));
      ub2 type_code = 0;
      ora_engine::check_status(api.attr_get(column, OCI_DTYPE_PARAM, &type_code, nullptr, OCI_ATTR_DATA_TYPE,
                                            ora_engine::error_handle()));
      std::unique_ptr<ora_type> adapter = gen_co_by_type(static_cast<OCIParam*>(column), type_code);
      api.descriptor_free(column, OCI_DTYPE_PARAM);  // the adapter keeps what it needs
      columns_.push_back(std::move(adapter));
      schema_.add(columns_.back()->make_schema_field());
    }
  }
  statement_.prepare(statement_text);
  size_t row_bytes = 0;
  bool batches = true;
  for (const auto& column : columns_) {
    row_bytes += column->slot_bytes() + sizeof(sb2);
    batches = batches && column->fetches_in_batches();
  }
  batch_ = !batches ? 1 : static_cast<ub4>(std::clamp<size_t>(batch_bytes / std::max<size_t>(row_bytes, 1), 1, batch_rows));
  for (size_t i = 0; i < columns_.size(); ++i)
    columns_[i]->define(statement_.handle(), static_cast<ub4>(i + 1), batch_);
  statement_.execute(0);
  initialized_ = true;
}

void ora_query_results::append_record(udb_record&) { throw tk_mail_assertion("ora_qres", __LINE__); }

bool ora_query_results::fetch_row() {
  if (next_slot_ >= in_batch_ && !fetch_batch()) return false;
  const ub4 slot = next_slot_++;
  for (const auto& column : columns_) column->select_row(slot);
  return true;
}

bool ora_query_results::fetch_batch() {
  in_batch_ = 0;
  next_slot_ = 0;
  if (fetch_error_) {
    // The rows before the failing one are handed on: now its error.
    std::exception_ptr error = fetch_error_;
    fetch_error_ = nullptr;
    std::rethrow_exception(error);
  }
  if (last_batch_) return false;
  sword status = OCI_SUCCESS;
  try {
    status = statement_.fetch(batch_);
  } catch (...) {
    fetch_error_ = std::current_exception();
  }
  if (batch_ == 1 && !fetch_error_) {
    in_batch_ = status == OCI_NO_DATA ? 0 : 1;
  } else {
    in_batch_ = statement_.rows_fetched();
    if (in_batch_ > batch_) in_batch_ = batch_;
  }
  if (status == OCI_NO_DATA) last_batch_ = true;
  if (in_batch_ == 0) {
    if (fetch_error_) {
      std::exception_ptr error = fetch_error_;
      fetch_error_ = nullptr;
      std::rethrow_exception(error);
    }
    return false;
  }
  return true;
}

bool ora_query_results::is_eof() {
  trace(1, "ora_query_results::is_eof");
  TK_CHECK(initialized_, "ora_qres");
  // Only a row that came is waiting for get_item: after the end, get_item
  // must not hand out the previous row again.
  fetched_ = fetch_row();
  return !fetched_;
}

udb_record* ora_query_results::get_item() {
  trace(1, "ora_query_results::get_item");
  TK_CHECK(initialized_, "ora_qres");
  if (!fetched_) {
    trace(1, "fetch wasn't called yet");
    if (!fetch_row()) return nullptr;
  }
  if (!current_) {
    current_ = std::make_unique<ora_record>(columns_);
  } else {
    // The record handed out for the previous row becomes this row's record.
    try {
      current_->refill(columns_);
    } catch (...) {
      current_.reset();  // never hand out a half-filled row
      throw;
    }
  }
  fetched_ = false;
  return current_.get();
}
