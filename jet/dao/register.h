#pragma once
// Makes our Access engine the DAO 3.6 DBEngine class (Access 2000 files) of
// this process, as installing DAO registers it on Windows.
void jet_register_dao_engine();
