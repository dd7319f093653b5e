#pragma once
// dao_engine: the entry to the Access destination. Initialises COM on the
// thread that creates it, loads the DBEngine of the DAO generation that
// matches the file format, and creates or opens Access databases, handing
// them back as udb_database objects that must be deleted before the engine.
// One engine per process; DAO errors are read back through it.
#include <cstdint>
#include <memory>
#include <string>

#include "DAO/dao_idl.h"
#include "OLE/ole_ptr.h"
#include "TK/tk_singl.h"
#include "UDB/udb_db.h"

class dao_database;

class dao_engine : public tk_singleton<dao_engine> {
 public:
  // Version keys: the rows of the version table, and "no engine".
  enum : uint32_t { access_2000 = 0, access_97 = 1, jet_3_0 = 2, access_2007 = 3, no_version = 4 };

  // Open-mode bits.
  static constexpr uint32_t mode_read_only = 1;
  static constexpr uint32_t mode_exclusive = 16;
  static constexpr uint32_t mode_opened = 104;   // how the driver opens an existing file
  static constexpr uint32_t mode_created = 114;  // the mode a created database is handed

  static const char dao_missing_message[];

  explicit dao_engine(bool com_initialized);
  virtual ~dao_engine();

  virtual std::unique_ptr<udb_database> create_db(const std::u16string& file_name);
  // The same under another file name: the trace, the database's name and the
  // engine's messages say shown_name.
  std::unique_ptr<udb_database> create_db(const std::u16string& file_name, const std::u16string& shown_name);
  virtual std::unique_ptr<udb_database> open_db(const std::u16string& file_name, uint32_t mode,
                                                const std::u16string& password);
  // Deletes the file; a failure raises tk_exception_ex with the system error.
  virtual void delete_db(const std::u16string& file_name);
  virtual bool is_db_exist(const std::u16string& file_name);

  // Loads the engine of the version; false when its class is not available.
  bool set_version_if(uint32_t key);
  // The same, failing with dao_missing_message.
  void set_version(uint32_t key);
  // The version key of an existing Access file, from its header.
  uint32_t get_acc_version(const std::u16string& file_name);

  uint32_t version() const { return version_; }
  // The loaded DBEngine, or null.
  _DBEngine* engine_interface() const { return engine_.is_null() ? nullptr : engine_.get(); }

 private:
  void uninitialize();
  // Tells a database of one byte a character which code page its text is in.
  void note_text_code_page(dao_database& database, Database* dao_database_object) const;

  ole_com_ptr<_DBEngine> engine_;
  uint32_t version_ = no_version;
  bool com_initialized_;  // COM was initialised by the caller, not by this engine
};
