#pragma once
// Makes our Access engine the DAO DBEngine classes of this process, as
// installing DAO registers them on Windows: DAO 3.6, whose new databases are
// Access 2000 files, and DAO 3.5, whose new databases are Access 95/97 files.
void jet_register_dao_engine();
