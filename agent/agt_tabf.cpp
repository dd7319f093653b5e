#include "agent/agt_tabf.h"

#include <fstream>
#include <iterator>
#include <string_view>

#include "TK/tk_excep.h"
#include "TK/tk_strin.h"
#include "TK/tk_trace.h"
#include "TK/tk_utils.h"
#include "agent/agt_cmdl.h"
#include "common/dmw_conv.h"

namespace {
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
const char kMissingFile[] =
    "Table names file does not exist.\nPlease verify the correct path/name was given.";
const char kLongLine[] = "Table names file holds a line longer than 254 characters.";
}  // namespace

std::vector<std::u16string> read_table_names(const std::string& content) {
  std::vector<std::u16string> names;
  bool first = true;
  bool utf8 = false;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    size_t next = end == std::string::npos ? content.size() : end + 1;
    std::string_view line(content.data() + start, (end == std::string::npos ? content.size() : end) - start);
    start = next;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    if (first) {
      first = false;
      if (line.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        utf8 = true;
        line.remove_prefix(kUtf8Bom.size());
        // A mark on a line of its own names no table.
        if (line.empty()) continue;
      }
    }
    if (line.size() > agent_max_table_name_bytes) throw tk_exception(kLongLine, 1);
    names.push_back(utf8 ? tk_from_utf8(line) : tk_from_ansi(line));
  }
  return names;
}

void process_tab_file(const std::string& path) {
  trace(1, "process_tab_file(%s)", path.c_str());
  if (!tk_is_file_exist(path, 0)) print_and_exit(kMissingFile);
  std::ifstream in(path, std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.is_open() || in.bad()) print_and_exit(kMissingFile);
  std::vector<std::u16string> names;
  try {
    names = read_table_names(content);
  } catch (const tk_exception& e) {
    print_and_exit(e.text());
  }
  dunmarrow_convertor::get().selected_tables() = std::move(names);
}
