#pragma once
// Replacing an Access file so that a failed run never costs the old one: the
// new database is built under a private name in the destination's folder and
// takes the destination's place by one rename() once it is complete and
// closed. Until then the destination is untouched. A crash leaves at most the
// build file, which the next run on the destination removes.
#include <memory>
#include <string>

#include "DAO/dao_engi.h"
#include "UDB/udb_db.h"

// The build file of a destination: "<folder>/.<name>.dmwtmp". Fixed, so that a
// second run on the same destination finds the first one's build file in use.
std::u16string dao_build_name(const std::u16string& destination);

// Holds the file exclusively through the engine, so that nobody else opens it
// while the hold lives; null when the file is absent or no database the engine
// opens. Someone else having it open is DAO's 3045 at level 1, naming
// shown_name. Leaves the engine loaded with the file's version.
std::unique_ptr<udb_database> dao_hold_exclusively(dao_engine& engine, const std::u16string& file_name,
                                                   const std::u16string& shown_name);

// Whether the destination could be replaced now: 3045 (level 1) when another
// opener holds the destination or a live run's build file. Nothing changes on disk.
void dao_check_replaceable(dao_engine& engine, const std::u16string& destination);

// One replacement of the destination by a new database; the engine must
// outlive it. Removes the build file unless put_in_place() succeeded.
class dao_replacement {
 public:
  // Removes a build file left by a run that died; 3045 when a live run holds it.
  dao_replacement(dao_engine& engine, const std::u16string& destination);
  ~dao_replacement();
  dao_replacement(const dao_replacement&) = delete;
  dao_replacement& operator=(const dao_replacement&) = delete;

  // The new database, made under the build name by the engine's loaded
  // version; the trace and messages name the destination.
  std::unique_ptr<udb_database> create_db();
  // Once the new database is closed: holds the destination, renames the build
  // file over it and syncs the folder. 3045 when someone holds the destination,
  // which then stays as it was.
  void put_in_place();

 private:
  dao_engine& engine_;
  std::u16string destination_;
  std::u16string build_name_;
  bool built_ = false;   // the build file is ours to remove
};
