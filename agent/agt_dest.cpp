#include "agent/agt_dest.h"

#include <cerrno>
#include <unistd.h>

#include "TK/tk_excep.h"
#include "TK/tk_strin.h"
#include "TK/tk_trace.h"
#include "common/dmw_conv.h"

void check_dest(const std::u16string& destination) {
  trace(1, u"check_dest(%s)", destination.c_str());
  common_check_dest(destination);
  if (dunmarrow_convertor::get().mode() != 0) return;
  if (::unlink(tk_to_ansi(destination).c_str()) != 0 && errno != ENOENT) throw tk_exception_ex();
}
