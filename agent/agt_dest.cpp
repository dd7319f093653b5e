#include "agent/agt_dest.h"

#include "TK/tk_trace.h"
#include "common/dmw_conv.h"

void check_dest(const std::u16string& destination) {
  trace(1, u"check_dest(%s)", destination.c_str());
  common_check_dest(destination);
  if (dunmarrow_convertor::get().mode() == 0) common_check_replaceable(destination);
}
