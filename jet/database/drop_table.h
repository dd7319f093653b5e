#pragma once
// Deleting a table: its catalog row and permission rows go, and every page
// it held (definition, data, long values, indexes) becomes free for reuse.
#include <string>

class jet_database;

// Raises 3265 when there is no such table, 3001 for a system or linked
// table, 3303 for a table that takes part in a relationship.
void jet_delete_table(jet_database& db, const std::u16string& name);
