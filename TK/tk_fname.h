#pragma once
// A file name completed to a full path and split into its parts. On POSIX the
// drive is always empty; the folder part is drive plus folder and ends with '/'.
// Completion is lexical: "." and ".." are resolved against the current
// directory without following symbolic links, as Windows does.
#include <string>

namespace tk_fname_detail {
template <class Text>
struct parts {
  Text drive;      // empty on POSIX
  Text folder;     // drive + folder, with the trailing '/'
  Text name;       // without the extension
  Text extension;  // from the last '.' of the name, dot included
  Text full_path;
};
}  // namespace tk_fname_detail

// Wide form. initialize("") takes the program's own file. A full path longer
// than 260 characters is an internal error naming tk_fname. A name ending in
// '/' names a folder: the name and extension parts are then empty.
class tk_file_wname {
 public:
  static constexpr size_t max_path = 260;

  tk_file_wname() = default;
  explicit tk_file_wname(const std::u16string& name) { initialize(name); }

  void initialize(const std::u16string& name);

  const std::u16string& drive() const { return parts_.drive; }
  const std::u16string& folder() const { return parts_.folder; }
  const std::u16string& name() const { return parts_.name; }
  const std::u16string& extension() const { return parts_.extension; }
  const std::u16string& full_path() const { return parts_.full_path; }

 private:
  tk_fname_detail::parts<std::u16string> parts_;
};

// Narrow twin: the same on text in the ANSI code page (a byte limit of 260).
class tk_file_name {
 public:
  static constexpr size_t max_path = 260;

  tk_file_name() = default;
  explicit tk_file_name(const std::string& name) { initialize(name); }

  void initialize(const std::string& name);

  const std::string& drive() const { return parts_.drive; }
  const std::string& folder() const { return parts_.folder; }
  const std::string& name() const { return parts_.name; }
  const std::string& extension() const { return parts_.extension; }
  const std::string& full_path() const { return parts_.full_path; }

 private:
  tk_fname_detail::parts<std::string> parts_;
};
