#include <gtest/gtest.h>

#include "DAO/dao_idl.h"

// The identifiers the engine versions are chosen by must be DAO's own.
TEST(DaoContract, EngineClassIdentifiers) {
  EXPECT_EQ(CLSID_DBEngine36.Data1, 0x00000100u);
  EXPECT_EQ(CLSID_DBEngine35.Data1, 0x00000010u);
  EXPECT_EQ(IID__DBEngine.Data1, 0x00000021u);
  EXPECT_EQ(CLSID_DBEngineAce.Data1, 0xCD7791B9u);
  EXPECT_EQ(CLSID_DBEngineAce.Data4[7], 0x19);
  EXPECT_EQ(static_cast<uint32_t>(dbSystemObject), 0x80000002u);
  EXPECT_EQ(dbAutoIncrField, 16);
}
