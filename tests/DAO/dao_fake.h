#pragma once
// A test double of the DAO engine: an in-memory catalog of "files" served
// through the DAO contract, registered as a COM class. It records the calls
// the destination layer makes, answers with DAO's error numbers and texts
// through its Errors collection, and can be told to fail a member once. It
// knows just enough SQL for the statements the layer sends.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DAO/dao_idl.h"
#include "OLE/ole_vari.h"

namespace dao_fake {

struct field_def {
  std::u16string name;
  SHORT type = dbText;
  LONG size = 0;
  bool required = false;
  bool allow_zero_length = false;
  ole_variant default_value;
  LONG attributes = 0;
};

struct index_def {
  std::u16string name;
  bool primary = false;
  bool unique = false;
  std::vector<std::u16string> fields;
};

struct table {
  std::u16string name;
  LONG attributes = 0;
  std::vector<std::shared_ptr<field_def>> fields;
  std::vector<std::shared_ptr<index_def>> indexes;
  std::vector<std::vector<ole_variant>> rows;

  field_def& add_field(const std::u16string& name, SHORT type, LONG size = 0);
  int field_position(const std::u16string& name) const;  // -1 when absent
};

struct database {
  std::vector<std::shared_ptr<table>> tables;
  bool closed = false;
  bool has_disk_file = false;  // made by CreateDatabase in a folder that exists
  LONG collating_order = 1033;  // dbSortGeneral

  table& add_table(const std::u16string& name, LONG attributes = 0);
  table* find(const std::u16string& name);
};

// A failure the next call of a member answers with.
struct planned_failure {
  LONG number;
  std::u16string description;
  HRESULT result;
};

struct world {
  // The catalog of files by the name each was made under. A file created under
  // an absolute name in a folder that exists also gets a file on disk (an
  // Access 2000 header naming its entry), so that rename() and unlink() act on
  // it as on a real one.
  std::map<std::u16string, std::shared_ptr<database>> files;
  std::vector<std::string> calls;  // "Member(arguments)", UTF-8, in call order
  std::map<std::string, planned_failure> failures;
  std::vector<std::string> null_answers;  // members that answer success without an object
  LONG error_number = 0;
  std::u16string error_description;
  int broken_errors_step = 0;  // 1 to 4: that step of reading the error fails
  std::u16string too_large_field;  // writing a value into it is "Record is too large."
  bool collect_takes_positions = false;  // Recordset.Collect names a field by position too, as DAO does
  // Fields created under these names get this type instead of the one asked
  // for, as an engine does that cannot hold the type asked for.
  std::map<std::u16string, SHORT> stored_types;

  database& add_file(const std::u16string& name);
  // The database a name stands for: the entry named by the file on disk when
  // that file was made by the double, otherwise the entry of that name; null
  // when there is none, or when the double's file of that name is gone.
  std::shared_ptr<database> file(const std::u16string& name) const;
  // The next call of the member fails with DAO's error.
  void fail_next(const std::string& member, LONG number, const std::u16string& description);
  void fail_next(const std::string& member, HRESULT result);
  // The next call of the member succeeds without handing out its object.
  void answer_null(const std::string& member) { null_answers.push_back(member); }
  bool called(const std::string& call) const;
  size_t count_calls(const std::string& prefix) const;
};

// The one world of this test process, emptied by reset().
world& the_world();
void reset();

// Registers the double as the engine class; unregister_engine removes it.
void register_engine(const CLSID& clsid);
void unregister_engine(const CLSID& clsid);

// Live COM objects of the double, to check that the layer releases them all.
int live_objects();

}  // namespace dao_fake
