#include "DAO/dao_excp.h"

#include "DAO/dao_bstr.h"
#include "DAO/dao_engi.h"
#include "OLE/ole_ptr.h"
#include "TK/tk_strin.h"
#include "TK/tk_trace.h"

dao_exception::dao_exception(const std::string& description, LONG number)
    : tk_exception(description, code_base + static_cast<uint32_t>(number), level_for(description, number)) {}

dao_exception::dao_exception(const std::string& description, LONG number, int level)
    : tk_exception(description, code_base + static_cast<uint32_t>(number), level) {}

int dao_exception::level_for(const std::string& description, LONG number) {
  if (number == 3026 || number == 3043) return 1;
  if (number == 3001 && description == "Invalid argument.") return 1;
  return 0;
}

dao_unknown_exception::dao_unknown_exception() : tk_exception("Unknown exception", 1, 0) {}

void throw_dao_exception() {
  trace(1, "dao_exception::dao_exception");
  _DBEngine* engine = dao_engine::get().engine_interface();
  ole_com_ptr<Errors> errors;
  if (!engine || FAILED(engine->get_Errors(errors.address())) || errors.is_null()) {
    trace(1, "Failed on step #1");
    throw dao_unknown_exception();
  }
  VARIANT first;
  VariantInit(&first);
  first.vt = VT_I4;
  first.lVal = 0;
  ole_com_ptr<Error> error;
  if (FAILED(errors->get_Item(first, error.address())) || error.is_null()) {
    trace(1, "Failed on step #2");
    throw dao_unknown_exception();
  }
  dao_bstr description;
  if (FAILED(error->get_Description(description.address()))) {
    trace(1, "Failed on step #3");
    throw dao_unknown_exception();
  }
  const std::string text = tk_to_ansi(description.to_wstring());
  trace(1, "Got error: %s", text.c_str());
  LONG number = 0;
  if (FAILED(error->get_Number(&number))) {
    trace(1, "Failed on step #4");
    throw dao_unknown_exception();
  }
  trace(1, "Got error code: %08X", static_cast<unsigned>(number));
  throw dao_exception(text, number);
}
