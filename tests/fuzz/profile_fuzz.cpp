// A profile file over arbitrary bytes, applied as the agent applies one:
// through every part of the converter's settings. A file that cannot be
// used is a false answer or a tk_exception.
#include <cstdint>
#include <string>

#include "TK/tk_excep.h"
#include "TK/tk_strin.h"
#include "common/dmw_conv.h"
#include "scratch_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fuzz_scratch_folder folder;
  static const std::string path = folder.file("input.dmw");
  folder.write(path, data, size);
  try {
    dunmarrow_convertor converter(dmw_front_end::agent);
    converter.load_profile_file(tk_from_ansi(path));
  } catch (const tk_exception&) {
  }
  return 0;
}
