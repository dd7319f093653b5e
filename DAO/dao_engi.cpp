#include "DAO/dao_engi.h"

#include <cerrno>
#include <cstdio>

#include <unistd.h>

#include "DAO/dao_args.h"
#include "DAO/dao_bstr.h"
#include "DAO/dao_db.h"
#include "DAO/dao_excp.h"
#include "TK/tk_strin.h"
#include "TK/tk_trace.h"
#include "TK/tk_utils.h"

namespace {
struct version_row {
  uint32_t key;
  const CLSID* engine_class;
  const IID* engine_interface;
};

const version_row version_table[] = {
    {dao_engine::access_2000, &CLSID_DBEngine36, &IID__DBEngine},
    {dao_engine::access_97, &CLSID_DBEngine35, &IID__DBEngine},
    {dao_engine::jet_3_0, &CLSID_DBEngine30, &IID__DBEngine30},
    {dao_engine::access_2007, &CLSID_DBEngineAce, &IID__DBEngine},
};

// The DBEngine's answer when the DAO support library cannot be loaded.
constexpr HRESULT dao_library_missing = static_cast<HRESULT>(0x800A0E31);

// Offset of the engine version byte in the header of a Jet/ACE database.
constexpr long version_byte_offset = 20;

const char file_format_message[] = "File '%s' does not comply with MS Access format.";

// The text with every `from` replaced by `to`.
std::string renamed(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// A std::FILE that closes itself.
struct file_closer {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
}  // namespace

const char dao_engine::dao_missing_message[] =
    "Failed to load Data Access Objects (DAO) support library.\n"
    "Microsoft Access installation is required to proceed with\n"
    "the application.\n";

dao_engine::dao_engine(bool com_initialized) : com_initialized_(com_initialized) {
  trace(2, "dao_engine::ctor");
  if (!com_initialized_ && FAILED(CoInitialize(nullptr))) throw_dao_exception();
}

dao_engine::~dao_engine() {
  trace(2, "dao_engine::dtor");
  uninitialize();
  if (!com_initialized_) CoUninitialize();
}

void dao_engine::uninitialize() {
  if (engine_.is_null()) return;
  trace(1, "dao_engine::uninitialize");
  engine_.reset();
  version_ = no_version;
}

bool dao_engine::set_version_if(uint32_t key) {
  trace(1, "dao_engine::set_version_if(%d)", static_cast<int>(key));
  uninitialize();
  version_ = no_version;
  const version_row* row = nullptr;
  for (const version_row& candidate : version_table) {
    if (candidate.key == key) row = &candidate;
  }
  TK_CHECK(row != nullptr, "dao_engi");

  ole_com_ptr<IClassFactory> factory;
  HRESULT result = CoGetClassObject(*row->engine_class, CLSCTX_SERVER, nullptr, IID_IClassFactory,
                                    factory.void_address());
  if (FAILED(result) || factory.is_null()) {
    trace(1, "Failed to create ClassFactory");
    return false;
  }
  ole_com_ptr<_DBEngine> engine;
  result = factory->CreateInstance(nullptr, *row->engine_interface, engine.void_address());
  if (FAILED(result) || engine.is_null()) return false;
  engine_ = std::move(engine);
  version_ = key;
  return true;
}

void dao_engine::set_version(uint32_t key) {
  trace(1, "dao_engine::set_version(%d)", static_cast<int>(key));
  if (!set_version_if(key)) throw tk_exception(dao_missing_message, 1);
}

std::unique_ptr<udb_database> dao_engine::create_db(const std::u16string& file_name) {
  return create_db(file_name, file_name);
}

std::unique_ptr<udb_database> dao_engine::create_db(const std::u16string& file_name,
                                                    const std::u16string& shown_name) {
  trace(2, u"dao_engine::create_db (%s)", file_name.c_str());
  trace(3, u"Creating MS Access database '%s'", shown_name.c_str());
  TK_CHECK(version_ != no_version && !engine_.is_null(), "dao_engi");

  dao_bstr name(file_name);
  dao_bstr locale{std::u16string(dbLangGeneral)};
  const VARIANT option = dao_arg_i4(0);  // the engine's own file format
  ole_com_ptr<Database> database;
  const HRESULT result = engine_->CreateDatabase(name, locale, option, database.address());
  trace(1, "CreateDatabase returns %08X", static_cast<unsigned>(result));
  if (result == dao_library_missing) {
    throw tk_exception(
        "Failed to load Data Access Objects (DAO) support library.\n%s installation is required to proceed\n"
        "with the application.\n",
        version_ == access_2000 ? "Microsoft Access 2000" : "Microsoft Access 95/97", 1);
  }
  try {
    dao_check(result);
  } catch (const dao_exception& error) {
    if (shown_name == file_name) throw;
    throw dao_exception(renamed(error.text(), tk_to_ansi(file_name), tk_to_ansi(shown_name)), error.number());
  }
  dao_require(database);
  auto created = std::make_unique<dao_database>(shown_name, database.get(), mode_created);
  note_text_code_page(*created, database.get());
  return created;
}

std::unique_ptr<udb_database> dao_engine::open_db(const std::u16string& file_name, uint32_t mode,
                                                  const std::u16string& password) {
  trace(2, u"dao_engine::open_db(%s, mode=%d)", file_name.c_str(), static_cast<int>(mode));
  TK_CHECK(version_ != no_version && !engine_.is_null(), "dao_engi");

  dao_bstr name(file_name);
  const VARIANT exclusive = dao_arg_bool((mode & mode_exclusive) != 0);
  const VARIANT read_only = dao_arg_bool((mode & mode_read_only) != 0);
  const dao_bstr connect_text(password.empty() ? std::u16string() : u";pwd=" + password);
  const VARIANT connect = dao_arg_text(connect_text);

  trace(1, "Open database using DAO engine");
  ole_com_ptr<Database> database;
  dao_check(engine_->OpenDatabase(name, exclusive, read_only, connect, database.address()));
  dao_require(database);
  trace(1, "Right after OpenDatabase call");
  auto opened = std::make_unique<dao_database>(file_name, database.get(), mode);
  note_text_code_page(*opened, database.get());
  return opened;
}

void dao_engine::note_text_code_page(dao_database& database, Database* dao_database_object) const {
  // Access 95/97 files store text one byte a character, in the code page of
  // their sort order's locale; Access 2000 and later files store any character.
  if (version_ != access_97) return;
  LONG order = 0;
  dao_check(dao_database_object->get_CollatingOrder(&order));
  const unsigned code_page = platform::code_page_table::ansi_code_page_of(uint32_t(order));
  trace(1, "Text is stored in code page %d", static_cast<int>(code_page));
  database.set_text_code_page(platform::code_page_table::find(code_page));
}

void dao_engine::delete_db(const std::u16string& file_name) {
  trace(2, u"dao_engine::delete_db(%s)", file_name.c_str());
  if (::unlink(tk_to_ansi(file_name).c_str()) != 0) throw tk_exception_ex(errno);
}

bool dao_engine::is_db_exist(const std::u16string& file_name) {
  trace(2, u"dao_engine::is_db_exist(%s)", file_name.c_str());
  return tk_is_file_exist(tk_to_ansi(file_name), tk_open_read);
}

uint32_t dao_engine::get_acc_version(const std::u16string& file_name) {
  trace(2, u"dao_engine::get_acc_version(%s)", file_name.c_str());
  const std::string narrow_name = tk_to_ansi(file_name);
  std::unique_ptr<std::FILE, file_closer> file(std::fopen(narrow_name.c_str(), "rb"));
  if (!file || std::fseek(file.get(), 0, SEEK_END) != 0 || std::ftell(file.get()) <= version_byte_offset ||
      std::fseek(file.get(), version_byte_offset, SEEK_SET) != 0) {
    throw tk_exception(file_format_message, narrow_name, 1);
  }
  const int version_byte = std::fgetc(file.get());
  switch (version_byte) {
    case 0:
      trace(1, "This is MS Access 7.0/97 file");
      return access_97;
    case 1:
      trace(1, "This is MS Access 2000 file");
      return access_2000;
    case 2:
      trace(1, "This is MS Access 2007+ file");
      return access_2007;
    default:
      throw tk_exception(file_format_message, narrow_name, 1);
  }
}
