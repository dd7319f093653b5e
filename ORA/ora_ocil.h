#pragma once
// Run-time binding of the Oracle client library. The library named by the
// environment variable DMW_OCI_LIBRARY, or else "libclntsh.so" as Oracle
// Instant Client installs it, is loaded with the platform loader and every
// call the system makes is resolved from it into one table of entry points.
// The library stays loaded as long as the ora_oci_library object lives.
#include <string>

#include "ORA/ora_oci.h"

struct ora_oci_calls {
  OCIEnvCreate_fn env_create = nullptr;
  OCIHandleAlloc_fn handle_alloc = nullptr;
  OCIHandleFree_fn handle_free = nullptr;
  OCIDescriptorAlloc_fn descriptor_alloc = nullptr;
  OCIDescriptorFree_fn descriptor_free = nullptr;
  OCIServerAttach_fn server_attach = nullptr;
  OCIServerDetach_fn server_detach = nullptr;
  OCIAttrSet_fn attr_set = nullptr;
  OCIAttrGet_fn attr_get = nullptr;
  OCILogon_fn logon = nullptr;
  OCILogoff_fn logoff = nullptr;
  OCIStmtPrepare_fn stmt_prepare = nullptr;
  OCIStmtExecute_fn stmt_execute = nullptr;
  OCIStmtFetch_fn stmt_fetch = nullptr;
  OCIParamGet_fn param_get = nullptr;
  OCIDefineByPos_fn define_by_pos = nullptr;
  OCILobCharSetForm_fn lob_char_set_form = nullptr;
  OCILobGetLength_fn lob_get_length = nullptr;
  OCILobRead_fn lob_read = nullptr;
  OCIErrorGet_fn error_get = nullptr;
};

class ora_oci_library {
 public:
  // Loads and resolves; a library that cannot be loaded, or that lacks one of
  // the calls, raises the "Oracle client ... not found" tk_exception (level 1).
  ora_oci_library();
  ~ora_oci_library();
  ora_oci_library(const ora_oci_library&) = delete;
  ora_oci_library& operator=(const ora_oci_library&) = delete;

  const ora_oci_calls& calls() const { return calls_; }
  const std::string& path() const { return path_; }

  // DMW_OCI_LIBRARY when set and not empty, else "libclntsh.so".
  static std::string library_name();
  static const char* missing_client_text();

 private:
  void* handle_ = nullptr;
  std::string path_;
  ora_oci_calls calls_;
};
