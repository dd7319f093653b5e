// Environment, handles, descriptors, attributes and error retrieval.
#include "ocilite/ocl_hand.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/codepage.h"

namespace ocl {

namespace {

struct registry {
  std::recursive_mutex lock;
  std::unordered_map<const void*, std::unique_ptr<handle>> live;
  std::atomic<uint64_t> freed{0};  // handles freed so far: a cached lookup is stale once it moves
};

registry& handles() {
  static registry r;
  return r;
}

template <typename T>
void write_attr(void* target, ub4* sizep, T value) {
  std::memcpy(target, &value, sizeof value);
  if (sizep) *sizep = sizeof value;
}

}  // namespace

handle* add_handle(std::unique_ptr<handle> h) {
  registry& r = handles();
  std::lock_guard<std::recursive_mutex> guard(r.lock);
  handle* raw = h.get();
  r.live[raw] = std::move(h);
  return raw;
}

namespace {

// The handles a thread looked up lately, by address: every OCI call looks up
// the same few again. An entry holds while no handle has been freed since it
// was made.
struct recent_handle {
  const void* address = nullptr;
  handle* found = nullptr;
  uint64_t freed = 0;
};
constexpr size_t recent_count = 64;
thread_local recent_handle recent[recent_count];

recent_handle& recent_slot(const void* p) {
  return recent[(reinterpret_cast<uintptr_t>(p) >> 4) % recent_count];
}

}  // namespace

handle* find_handle(const void* p, ub4 type) {
  if (!p) return nullptr;
  registry& r = handles();
  const uint64_t freed = r.freed.load(std::memory_order_acquire);
  recent_handle& entry = recent_slot(p);
  if (entry.address == p && entry.freed == freed)
    return type && entry.found->type != type ? nullptr : entry.found;
  std::lock_guard<std::recursive_mutex> guard(r.lock);
  auto found = r.live.find(p);
  if (found == r.live.end()) return nullptr;
  entry = {p, found->second.get(), freed};
  if (type && found->second->type != type) return nullptr;
  return found->second.get();
}

namespace {

// Takes h and the handles it owns out of the registry (the lock is held);
// owners come before what they own.
void detach(registry& r, handle* h, std::vector<std::unique_ptr<handle>>& taken) {
  auto found = r.live.find(h);
  if (found == r.live.end()) return;
  std::vector<handle*> owned;
  if (auto* stmt = dynamic_cast<stmt_handle*>(h)) {
    owned.insert(owned.end(), stmt->defines.begin(), stmt->defines.end());
    owned.insert(owned.end(), stmt->params.begin(), stmt->params.end());
  } else if (auto* def = dynamic_cast<define_handle*>(h)) {
    if (find_handle(def->owner, OCI_HTYPE_STMT)) {
      auto& list = def->owner->defines;
      for (auto& d : list)
        if (d == def) d = nullptr;
    }
  } else if (h->type == OCI_HTYPE_ENV) {
    for (auto& [p, other] : r.live)
      if (other->env == h && other.get() != h) owned.push_back(other.get());
  }
  taken.push_back(std::move(found->second));
  r.live.erase(found);
  r.freed.fetch_add(1, std::memory_order_release);
  for (handle* child : owned)
    if (child) detach(r, child, taken);
}

}  // namespace

void free_handle(handle* h) {
  std::vector<std::unique_ptr<handle>> taken;
  {
    registry& r = handles();
    std::lock_guard<std::recursive_mutex> guard(r.lock);
    detach(r, h, taken);
  }
  // Destroyed outside the registry's lock, owned handles first: a statement's
  // cursor takes its connection's lock, and a fetch holding that lock looks
  // handles up.
  while (!taken.empty()) taken.pop_back();
}

uint64_t handles_freed() { return handles().freed.load(std::memory_order_acquire); }

std::string text_in(const env_handle* env, const void* data, ub4 length_bytes) {
  if (!data || !length_bytes) return std::string();
  if (env && env->utf16) {
    std::u16string wide(length_bytes / 2, u'\0');
    std::memcpy(wide.data(), data, wide.size() * 2);
    return platform::utf16_to_utf8(wide);
  }
  return std::string(static_cast<const char*>(data), length_bytes);
}

std::string text_out(const env_handle* env, const std::string& utf8) {
  if (env && env->utf16) {
    std::u16string wide = platform::utf8_to_utf16(utf8);
    return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
  }
  return utf8;
}

size_t terminator_size(const env_handle* env) { return env && env->utf16 ? 2 : 1; }

sword fail(error_handle* err, const oracle_error& error) {
  if (err) {
    err->error = error;
    err->has_error = true;
  }
  return OCI_ERROR;
}

sword fail(error_handle* err, int number, const std::string& argument) {
  return fail(err, make_error(number, argument));
}

sword internal_failure(OCIError* errhp) {
  try {
    if (auto* err = find<error_handle>(errhp, OCI_HTYPE_ERROR))
      return fail(err, {600, "ORA-00600: internal error code, arguments: [ocilite]"});
  } catch (...) {
  }
  return OCI_ERROR;
}

void clear(error_handle* err) {
  if (err) err->has_error = false;
}

}  // namespace ocl

using namespace ocl;

sword OCIEnvCreate(OCIEnv** envhpp, ub4 mode, const void*, void* (*)(void*, size_t),
                   void* (*)(void*, void*, size_t), void (*)(void*, void*), size_t xtramem_sz,
                   void** usrmempp) try {
  if (!envhpp) return OCI_INVALID_HANDLE;
  auto env = std::make_unique<env_handle>();
  env->type = OCI_HTYPE_ENV;
  env->utf16 = (mode & OCI_UTF16) != 0;
  env->env = env.get();
  *envhpp = reinterpret_cast<OCIEnv*>(add_handle(std::move(env)));
  if (usrmempp) *usrmempp = nullptr;
  (void)xtramem_sz;
  return OCI_SUCCESS;
} catch (...) {
  return internal_failure(nullptr);
}

namespace {

// Extra user memory asked for with a handle lives inside the handle.
template <typename H>
struct with_memory : H {
  std::vector<unsigned char> extra;
};

std::unique_ptr<handle> make_handle_with_memory(ub4 type, size_t extra, void** usrmempp) {
  std::unique_ptr<handle> h;
  auto attach = [&](auto made) {
    made->extra.assign(extra, 0);
    if (usrmempp) *usrmempp = extra ? made->extra.data() : nullptr;
    h = std::move(made);
  };
  switch (type) {
    case OCI_HTYPE_ERROR: attach(std::make_unique<with_memory<error_handle>>()); break;
    case OCI_HTYPE_SVCCTX: attach(std::make_unique<with_memory<svc_handle>>()); break;
    case OCI_HTYPE_STMT: attach(std::make_unique<with_memory<stmt_handle>>()); break;
    case OCI_HTYPE_SERVER: attach(std::make_unique<with_memory<server_handle>>()); break;
    case OCI_HTYPE_SESSION: attach(std::make_unique<with_memory<session_handle>>()); break;
    default: break;
  }
  return h;
}

}  // namespace

sword OCIHandleAlloc(const void* parenth, void** hndlpp, const ub4 type, const size_t xtramem_sz,
                     void** usrmempp) try {
  auto* env = find<env_handle>(parenth, OCI_HTYPE_ENV);
  if (!env || !hndlpp) return OCI_INVALID_HANDLE;
  std::unique_ptr<handle> h = make_handle_with_memory(type, xtramem_sz, usrmempp);
  if (!h) return OCI_INVALID_HANDLE;
  h->type = type;
  h->env = env;
  *hndlpp = add_handle(std::move(h));
  return OCI_SUCCESS;
} catch (...) {
  return internal_failure(nullptr);
}

sword OCIHandleFree(void* hndlp, const ub4 type) try {
  handle* h = find_handle(hndlp, type);
  if (!h || type == OCI_DTYPE_LOB || type == OCI_DTYPE_PARAM) return OCI_INVALID_HANDLE;
  free_handle(h);
  return OCI_SUCCESS;
} catch (...) {
  return internal_failure(nullptr);
}

sword OCIDescriptorAlloc(const void* parenth, void** descpp, const ub4 type, const size_t,
                         void** usrmempp) try {
  auto* env = find<env_handle>(parenth, OCI_HTYPE_ENV);
  if (!env || !descpp) return OCI_INVALID_HANDLE;
  if (type != OCI_DTYPE_LOB) return OCI_INVALID_HANDLE;
  auto lob = std::make_unique<lob_handle>();
  lob->type = type;
  lob->env = env;
  *descpp = add_handle(std::move(lob));
  if (usrmempp) *usrmempp = nullptr;
  return OCI_SUCCESS;
} catch (...) {
  return internal_failure(nullptr);
}

sword OCIDescriptorFree(void* descp, const ub4 type) try {
  handle* h = find_handle(descp, type);
  if (!h || (type != OCI_DTYPE_LOB && type != OCI_DTYPE_PARAM)) return OCI_INVALID_HANDLE;
  if (auto* param = dynamic_cast<param_handle*>(h)) {
    (void)param;  // parameters belong to their statement until it is freed
    return OCI_SUCCESS;
  }
  free_handle(h);
  return OCI_SUCCESS;
} catch (...) {
  return internal_failure(nullptr);
}

sword OCIAttrSet(void* trgthndlp, ub4 trghndltyp, void* attributep, ub4, ub4 attrtype,
                 OCIError* errhp) try {
  auto* err = find<error_handle>(errhp, OCI_HTYPE_ERROR);
  handle* target = find_handle(trgthndlp, trghndltyp);
  if (!target) return OCI_INVALID_HANDLE;
  clear(err);
  if (trghndltyp == OCI_HTYPE_SVCCTX && attrtype == OCI_ATTR_SERVER) {
    handle* server = find_handle(attributep, OCI_HTYPE_SERVER);
    if (!server) return OCI_INVALID_HANDLE;
    static_cast<svc_handle*>(target)->server = server;
    return OCI_SUCCESS;
  }
  if (trghndltyp == OCI_HTYPE_SVCCTX && attrtype == OCI_ATTR_SESSION) return OCI_SUCCESS;
  if (trghndltyp == OCI_HTYPE_STMT && attrtype == OCI_ATTR_PREFETCH_ROWS) return OCI_SUCCESS;
  return fail(err, 24315);
} catch (...) {
  return internal_failure(errhp);
}

sword OCIAttrGet(const void* trgthndlp, ub4 trghndltyp, void* attributep, ub4* sizep,
                 ub4 attrtype, OCIError* errhp) try {
  auto* err = find<error_handle>(errhp, OCI_HTYPE_ERROR);
  handle* target = find_handle(trgthndlp, trghndltyp);
  if (!target || !attributep) return OCI_INVALID_HANDLE;
  clear(err);
  if (trghndltyp == OCI_HTYPE_STMT) {
    auto* stmt = static_cast<stmt_handle*>(target);
    switch (attrtype) {
      case OCI_ATTR_STMT_TYPE:
        if (!stmt->prepared) return fail(err, 24337);
        write_attr<ub2>(attributep, sizep, stmt->statement_type);
        return OCI_SUCCESS;
      case OCI_ATTR_PARAM_COUNT:
        if (!stmt->executed) return fail(err, 24338);
        write_attr<ub4>(attributep, sizep, (ub4)stmt->params.size());
        return OCI_SUCCESS;
      case OCI_ATTR_ROW_COUNT:
        write_attr<ub4>(attributep, sizep, stmt->rows ? stmt->rows->row_count() : 0);
        return OCI_SUCCESS;
      case OCI_ATTR_ROWS_FETCHED:
        write_attr<ub4>(attributep, sizep, stmt->rows_fetched);
        return OCI_SUCCESS;
      default:
        return fail(err, 24315);
    }
  }
  if (trghndltyp == OCI_DTYPE_PARAM) {
    auto* param = static_cast<param_handle*>(target);
    const otype& t = param->column.type;
    switch (attrtype) {
      case OCI_ATTR_DATA_SIZE: write_attr<ub2>(attributep, sizep, (ub2)t.data_length()); return OCI_SUCCESS;
      case OCI_ATTR_DATA_TYPE: write_attr<ub2>(attributep, sizep, t.sqlt()); return OCI_SUCCESS;
      case OCI_ATTR_PRECISION: write_attr<sb2>(attributep, sizep, t.describe_precision()); return OCI_SUCCESS;
      case OCI_ATTR_SCALE: write_attr<sb1>(attributep, sizep, t.describe_scale()); return OCI_SUCCESS;
      case OCI_ATTR_IS_NULL: write_attr<ub1>(attributep, sizep, param->column.nullable ? 1 : 0); return OCI_SUCCESS;
      case OCI_ATTR_CHARSET_FORM: write_attr<ub1>(attributep, sizep, t.charset_form()); return OCI_SUCCESS;
      case OCI_ATTR_CHAR_USED: write_attr<ub1>(attributep, sizep, t.is_character() && t.char_semantics ? 1 : 0); return OCI_SUCCESS;
      case OCI_ATTR_CHAR_SIZE: write_attr<ub2>(attributep, sizep, (ub2)t.char_length()); return OCI_SUCCESS;
      case OCI_ATTR_NAME: {
        const void* text = param->name_bytes.data();
        std::memcpy(attributep, &text, sizeof text);
        if (sizep) *sizep = (ub4)param->name_bytes.size();
        return OCI_SUCCESS;
      }
      default:
        return fail(err, 24315);
    }
  }
  if (trghndltyp == OCI_HTYPE_ENV && attrtype == OCI_ATTR_ENV_UTF16) {
    write_attr<ub1>(attributep, sizep, static_cast<env_handle*>(target)->utf16 ? 1 : 0);
    return OCI_SUCCESS;
  }
  if (trghndltyp == OCI_HTYPE_SVCCTX && attrtype == OCI_ATTR_SERVER) {
    void* server = static_cast<svc_handle*>(target)->server;
    std::memcpy(attributep, &server, sizeof server);
    if (sizep) *sizep = sizeof server;
    return OCI_SUCCESS;
  }
  return fail(err, 24315);
} catch (...) {
  return internal_failure(errhp);
}

sword OCIErrorGet(void* hndlp, ub4 recordno, OraText* sqlstate, sb4* errcodep, OraText* bufp,
                  ub4 bufsiz, ub4 type) try {
  handle* h = find_handle(hndlp, type);
  if (!h || (type != OCI_HTYPE_ERROR && type != OCI_HTYPE_ENV)) return OCI_INVALID_HANDLE;
  auto* err = dynamic_cast<error_handle*>(h);
  if (!err || !err->has_error || recordno != 1) return OCI_NO_DATA;
  if (sqlstate) std::memcpy(sqlstate, "HY000", 6);
  if (errcodep) *errcodep = err->error.number;
  if (bufp && bufsiz) {
    std::string bytes = text_out(h->env, err->error.text);
    size_t term = terminator_size(h->env);
    size_t room = bufsiz >= term ? bufsiz - term : 0;
    if (term == 2) room &= ~size_t(1);
    size_t n = std::min(room, bytes.size());
    std::memcpy(bufp, bytes.data(), n);
    std::memset(bufp + n, 0, std::min<size_t>(term, bufsiz - n));
  }
  return OCI_SUCCESS;
} catch (...) {
  return internal_failure(nullptr);
}
