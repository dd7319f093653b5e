#pragma once
// The friendly texts shown for the Oracle and Access engine errors that users
// meet most often, keyed by the exception code (0x100000 + ORA-n, 0x10000 + DAO n).
#include "TK/tk_errco.h"

// Where users are sent for help; part of one of the texts below.
#define DMW_SUPPORT_ADDRESS "support@dunmarrow.example"

extern const tk_error_entry dmw_oracle_error_texts[];
extern const int dmw_oracle_error_text_count;

extern const tk_error_entry dmw_access_error_texts[];
extern const int dmw_access_error_text_count;
