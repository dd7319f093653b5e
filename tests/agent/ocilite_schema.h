#pragma once
// An ocilite home for the agent's runs: the schema DB/SCOTT/tiger in
// FOLDER/oracle, made and filled by the ocilite tool.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "agent_run.h"

// Runs `script` (Oracle statements) in the schema, writing it to FOLDER/`name` first.
inline void run_ocilite_script(const scratch_folder& folder, const std::string& name, const std::string& script) {
  folder.write(name, script);
  const std::string load = std::string("'") + OCILITE_TOOL + "' run '" + (folder / "oracle").string() +
                           "' DB SCOTT '" + (folder / name).string() + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(load.c_str()), 0) << name;
}

// Makes the schema, loads `script` into it when given, and fills `env` with
// what points the agent at it.
inline void make_ocilite_schema(const scratch_folder& folder, const std::string& script,
                                std::vector<std::string>& env) {
  const std::string home = (folder / "oracle").string();
  const std::string make =
      std::string("'") + OCILITE_TOOL + "' create-user '" + home + "' DB SCOTT tiger >/dev/null 2>&1";
  ASSERT_EQ(std::system(make.c_str()), 0);
  if (!script.empty()) run_ocilite_script(folder, "schema.sql", script);
  env = {std::string("DMW_OCI_LIBRARY=") + OCILITE_LIBRARY, "OCILITE_HOME=" + home};
}
