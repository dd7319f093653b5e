#include "agent/agt_usage.h"

#include <cstdio>

namespace {
constexpr int kMajor = 2;
constexpr int kMinor = 5;
constexpr char kMakerNotice[] = " Copyright (c) Kestrova. All rights reserved.";

constexpr char kOptions[] =
    "Usage: DMWAGENT.EXE OPTIONS\n"
    "\n"
    "   --acc_ver=...  format version for the destination MS Access database\n"
    "                  (0 - MS Access 95/97, 1 - MS Access 2000)\n"
    "   --dest=...     MS Access database name\n"
    "   --help         display this help message and exit\n"
    "   --logfile=...  path to the file where execution trace will be written\n"
    "   --mode=...     how to process an existing MS Access database\n"
    "                  (0 - overwrite the entire database, 1 - overwrite existing\n"
    "                  tables only, 2 - skip existing tables, 3 - merge)\n"
    "   --oraclh=...   network name or IP address of Oracle server\n"
    "   --oraclu=...   Oracle user name\n"
    "   --oraclp=...   Oracle user password\n"
    "   --port=...     Oracle port (for direct mode only)\n"
    "   --profile=...  path to the file to load conversion settings from\n"
    "   --silent       disable program output\n"
    "   --skip_idx     skip converting indexes\n"
    "   --src=...      Oracle database name\n"
    "   --tab_def      convert table definitions only\n"
    "   --tab_file=... file containing the list of tables to convert\n"
    "                  (one table name per line)\n"
    "\n"
    "NOTES:\n"
    "   1) If you have specified a profile, there is no need to specify any other\n"
    "      parameters\n"
    "   2) If you omit 'tab_file' parameter, all database tables will be converted\n"
    "   3) If you omit 'mode' parameter, default mode 'overwrite the entire\n"
    "      database' will be used\n"
    "   4) It is necessary to specify 'port' parameter only if it differs from\n"
    "      the default Oracle port 1521\n"
    "   5) Command line parameters that contain spaces should be enclosed in\n"
    "      quotes (for example --dest=\"my database.mdb\")\n";
}  // namespace

std::string agent_usage_text() {
  char version[32];
  std::snprintf(version, sizeof version, "%d.%d", kMajor, kMinor);
  return std::string("DMWAGENT v") + version + "," + kMakerNotice + "\n" + kOptions;
}
