#pragma once
// A new, empty database written from nothing in the version a format names:
// Access 2000 (Jet 4) or Access 97 (Jet 3, code page 1252). What each
// version's file holds is data (database_template.h); the steps are the
// same: the header page, the global page map, the system tables with the
// columns, flags and indexes Access gives them, the catalog rows of the
// containers and database objects with their properties, and the permission
// rows. A failure removes the half-made file.
#include <string>

#include "jet/format/format.h"

// Raises 3204 when the file exists, 3024 when its folder does not, 3001 for
// a format no version's template describes (nothing is written then).
void jet_create_database(const std::string& path, const jet_format& format = jet_format_jet4());
