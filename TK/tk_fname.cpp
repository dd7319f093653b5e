#include "TK/tk_fname.h"

#include <unistd.h>

#include <cerrno>
#include <vector>

#include "TK/tk_excep.h"
#include "TK/tk_strin.h"
#include "TK/tk_trace.h"
#include "TK/tk_utils.h"

namespace {

std::string current_folder() {
  std::vector<char> buf(4096);
  while (!::getcwd(buf.data(), buf.size())) {
    TK_CHECK(errno == ERANGE && buf.size() < (1u << 20), "tk_fname");
    buf.resize(buf.size() * 2);
  }
  return buf.data();
}

// Completes the name against the folder lexically and splits the result.
template <class Text>
tk_fname_detail::parts<Text> complete_and_split(const Text& name, const Text& cwd, size_t limit) {
  using Char = typename Text::value_type;
  const Char slash = Char('/');
  Text path = (!name.empty() && name[0] == slash) ? name : cwd + slash + name;

  std::vector<Text> components;
  size_t begin = 0;
  while (begin <= path.size()) {
    size_t end = path.find(slash, begin);
    if (end == Text::npos) end = path.size();
    Text part = path.substr(begin, end - begin);
    if (part == Text(1, Char('.')) || part.empty()) {
      // nothing: "." and repeated separators
    } else if (part == Text(2, Char('.'))) {
      if (!components.empty()) components.pop_back();  // ".." at the root stays there
    } else {
      components.push_back(part);
    }
    begin = end + 1;
  }

  tk_fname_detail::parts<Text> parts;
  Text file;
  // A name ending in a separator names a folder; its file part is empty.
  bool names_folder = name.empty() || name.back() == slash;
  if (!names_folder && !components.empty()) {
    file = components.back();
    components.pop_back();
  }
  parts.folder = Text(1, slash);
  for (const Text& c : components) parts.folder += c + slash;
  parts.full_path = parts.folder + file;
  TK_CHECK(parts.full_path.size() <= limit, "tk_fname");

  size_t dot = file.rfind(Char('.'));
  if (dot == Text::npos) {
    parts.name = file;
  } else {
    parts.name = file.substr(0, dot);
    parts.extension = file.substr(dot);
  }
  return parts;
}

}  // namespace

void tk_file_wname::initialize(const std::u16string& name) {
  trace(1, u"tk_file_wname::initialize(%s)", name.c_str());
  if (name.empty()) {
    parts_ = complete_and_split(tk_from_ansi(tk_module_file_name()), std::u16string(), max_path);
    return;
  }
  parts_ = complete_and_split(name, tk_from_ansi(current_folder()), max_path);
}

void tk_file_name::initialize(const std::string& name) {
  trace(1, "tk_file_name::initialize(%s)", name.c_str());
  if (name.empty()) {
    parts_ = complete_and_split(tk_module_file_name(), std::string(), max_path);
    return;
  }
  parts_ = complete_and_split(name, current_folder(), max_path);
}
