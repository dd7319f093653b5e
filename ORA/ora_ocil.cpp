#include "ORA/ora_ocil.h"

#include <dlfcn.h>

#include <cstdlib>

#include "TK/tk_excep.h"
#include "TK/tk_trace.h"

namespace {

template <typename F>
bool resolve(void* library, const char* name, F& entry) {
  entry = reinterpret_cast<F>(dlsym(library, name));
  if (!entry) trace(1, "OCI entry point '%s' not found", name);
  return entry != nullptr;
}

}  // namespace

const char* ora_oci_library::missing_client_text() {
  return "The Oracle client and networking components were not found.\n"
         "These components are supplied by the Oracle Corporation and\n"
         "are part of the Oracle Version 7.3.4 (or later) client\n"
         "software installation. You will be unable to use this program\n"
         "until these components have been installed.";
}

std::string ora_oci_library::library_name() {
  const char* chosen = std::getenv("DMW_OCI_LIBRARY");
  return chosen && *chosen ? chosen : "libclntsh.so";
}

ora_oci_library::ora_oci_library() : path_(library_name()) {
  trace(2, "ora_oci_library::ctor(%s)", path_.c_str());
  handle_ = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* why = dlerror();
    trace(1, "Cannot load the Oracle client: %s", why ? why : "");
    throw tk_exception(missing_client_text(), 1);
  }
  bool all = resolve(handle_, "OCIEnvCreate", calls_.env_create) &
             resolve(handle_, "OCIHandleAlloc", calls_.handle_alloc) &
             resolve(handle_, "OCIHandleFree", calls_.handle_free) &
             resolve(handle_, "OCIDescriptorAlloc", calls_.descriptor_alloc) &
             resolve(handle_, "OCIDescriptorFree", calls_.descriptor_free) &
             resolve(handle_, "OCIServerAttach", calls_.server_attach) &
             resolve(handle_, "OCIServerDetach", calls_.server_detach) &
             resolve(handle_, "OCIAttrSet", calls_.attr_set) &
             resolve(handle_, "OCIAttrGet", calls_.attr_get) &
             resolve(handle_, "OCILogon", calls_.logon) &
             resolve(handle_, "OCILogoff", calls_.logoff) &
             resolve(handle_, "OCIStmtPrepare", calls_.stmt_prepare) &
             resolve(handle_, "OCIStmtExecute", calls_.stmt_execute) &
             resolve(handle_, "OCIStmtFetch", calls_.stmt_fetch) &
             resolve(handle_, "OCIParamGet", calls_.param_get) &
             resolve(handle_, "OCIDefineByPos", calls_.define_by_pos) &
             resolve(handle_, "OCILobCharSetForm", calls_.lob_char_set_form) &
             resolve(handle_, "OCILobGetLength", calls_.lob_get_length) &
             resolve(handle_, "OCILobRead", calls_.lob_read) &
             resolve(handle_, "OCIErrorGet", calls_.error_get);
  if (!all) {
    dlclose(handle_);
    handle_ = nullptr;
    throw tk_exception(missing_client_text(), 1);
  }
}

ora_oci_library::~ora_oci_library() {
  trace(2, "ora_oci_library::dtor");
  if (handle_) dlclose(handle_);
}
