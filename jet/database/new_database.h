#pragma once
// A new, empty Access 2000 database written from nothing: the header page,
// the global page map, the system tables (MSysObjects, MSysACEs, MSysQueries,
// MSysRelationships, MSysAccessObjects) with the columns, flags and indexes
// Access gives them, the catalog rows of the containers and database
// objects with their properties, and the permission rows.
#include <string>

#include "jet/format/format.h"

// Raises 3204 when the file exists, 3024 when its folder does not.
void jet_create_database(const std::string& path);
// A new database of the given version's format.
void jet_create_database(const std::string& path, const jet_format& format);
