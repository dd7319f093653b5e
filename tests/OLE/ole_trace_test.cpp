#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "OLE/ole_date.h"
#include "OLE/ole_vari.h"
#include "TK/tk_trace.h"

// The value layer's trace lines are part of what support reads in a log.
TEST(OleTrace, ValuesWriteTheirOwnLines) {
  std::string path = (std::filesystem::temp_directory_path() /
                      ("dmw_ole_trace_" + std::to_string(::getpid()) + ".log")).string();
  {
    tk_trace log(path, true, 1, false);
    ole_variant s(static_cast<short>(-3));
    ole_variant h(static_cast<int64_t>(-4));
    ole_variant u(static_cast<uint64_t>(5));
    ole_variant d(2.5);
    ole_variant odd;
    odd.from_string("0A0", VT_BINARY_ARRAY);
    ole_variant money;
    money.from_string("abc", VT_CY);
    ole_variant number;
    number.from_string("70000", VT_I2);
    h.change_type(VT_I4);
    ole_date("2011");
    // A date in the form the Oracle session writes still shows the general
    // parser's steps while details are logged.
    ole_date("2024-03-05 10:20:30");
  }
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  std::remove(path.c_str());
  std::string log = content.str();
  for (const char* line : {"ole_variant::ctor from short(-3)\r\n", "ole_variant::ctor(hyper, -4)\r\n",
                           "ole_variant::ctor(uhyper, 5)\r\n", "ole_variant::ctor from double(2.500000e+00)\r\n",
                           "ole_variant::from_string('0A0', 0x00002011)\r\n", "Incorrect BLOB (size is odd)\r\n",
                           "GOT VT_CY\r\n", "VarCyFromStr failed: 80020005\r\n",
                           "Number '70000' is out of range for type 2\r\n",
                           "ole_variant::change_type(old=20,new=3)\r\n", "ole_date::ole_date('2011')\r\n",
                           "Invalid date/time format: '2011'\r\n",
                           "After tk_trim: 2024-03-05 10:20:30\r\n",
                           "ole_date::refine_type(2024,3,5,10,20,30)\r\n"}) {
    EXPECT_NE(log.find(line), std::string::npos) << "missing: " << line;
  }
}
