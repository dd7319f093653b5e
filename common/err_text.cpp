#include "common/err_text.h"

#include <iterator>

namespace {
constexpr uint32_t ora(uint32_t number) { return 0x100000u + number; }
constexpr uint32_t dao(uint32_t number) { return 0x10000u + number; }

const char kDuplicateKey[] =
    "Duplicate field values being used for an unique index were found.\n"
    "See 'Troubleshooting' article of the product documentation\n"
    "for solution.";
const char kBadWorkgroup[] =
    "Invalid workgroup information file. Return to the previous\n"
    "wizard page and verify the correct path was given.";
}  // namespace

const tk_error_entry dmw_oracle_error_texts[] = {
    {ora(1), kDuplicateKey},
    {ora(1017), "Invalid user name or password."},
    {ora(1658),
     "Not enough free contiguous space in the tablespace to create the object.\n"
     "Use ALTER TABLESPACE ADD DATAFILE to add additional space to the tablespace."},
    {ora(1950), "User does not have the necessary privileges to create tables."},
    {ora(2298),
     "There are orphaned records that prevent from creating foreign key. For more\n"
     "information see Troubleshooting article of the product documentation."},
    {ora(12154), "Oracle data source does not exist. Check to verify the correct name was given."},
    {ora(12500),
     "ORA-12500: the listener could not start a server process. For more information\n"
     "see Troubleshooting article of the product documentation."},
    {ora(12505),
     "ORA-12505: the program could not resolve service name. For more information\n"
     "see Troubleshooting article of the product documentation."},
    {ora(12514), "Cannot resolve Oracle service name. Check to verify the correct name was given.\n"},
    {ora(12541),
     "ORA-12541: no listener. For more information see Troubleshooting\n"
     "article of the product documentation."},
    {ora(12545),
     "ORA-12545: connect failed because target host or object does not exist.\n"
     "For more information see Troubleshooting article of the product documentation."},
    {ora(28000),
     "Wrong password was entered the maximum number of times or\n"
     "the DBA has locked the account."},
};
const int dmw_oracle_error_text_count = static_cast<int>(std::size(dmw_oracle_error_texts));

const tk_error_entry dmw_access_error_texts[] = {
    {dao(3055),
     "Not a valid MS Access database name. Use the following characters\n"
     "to compose new database name: alphanumerics (A-Z, a-z, 0-9),\n"
     "underscore characters (_) and spaces."},
    {dao(3022), kDuplicateKey},
    {dao(3029),
     "Not a valid account name or password has been specified\n"
     "in MS Access user-level security settings"},
    {dao(3112),
     "Cannot extract relationships information. See 'Troubleshooting'\n"
     "article of the product documentation for solution."},
    {dao(3173), kBadWorkgroup},
    {dao(3358), kBadWorkgroup},
    {dao(3421), "Data type conversion error. Please contact " DMW_SUPPORT_ADDRESS "\nfor the solution."},
};
const int dmw_access_error_text_count = static_cast<int>(std::size(dmw_access_error_texts));
