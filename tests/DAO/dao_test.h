#pragma once
// What the Access layer's tests share: a fixture with the engine double
// registered and a dao_engine loaded, and checks on internal errors.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "../TK/decode_assertion.h"
#include "DAO/dao_engi.h"
#include "DAO/dao_excp.h"
#include "TK/tk_excep.h"
#include "dao_fake.h"

// Expects the statement to raise an internal error naming the source file.
#define EXPECT_DAO_ASSERTION(statement, source_file)                  \
  do {                                                                \
    try {                                                             \
      statement;                                                      \
      ADD_FAILURE() << "no internal error from " #statement;          \
    } catch (const tk_mail_assertion& e) {                            \
      EXPECT_EQ(assertion_file(e), source_file);                      \
    }                                                                 \
  } while (0)

// The text and code of the exception the statement raises.
struct raised {
  std::string text;
  uint32_t code = 0;
  bool is_dao = false;
  bool any = false;
};

template <class F>
raised raised_by(F&& statement) {
  raised r;
  try {
    statement();
  } catch (const dao_exception& e) {
    r = {e.text(), e.code(), true, true};
  } catch (const tk_exception& e) {
    r = {e.text(), e.code(), false, true};
  }
  return r;
}

// The double registered as DAO 3.6 and an engine of that version loaded.
// Every object the double handed out must be released by the end of a test.
class dao_test : public ::testing::Test {
 protected:
  void SetUp() override {
    dao_fake::reset();
    dao_fake::register_engine(CLSID_DBEngine36);
    engine_ = std::make_unique<dao_engine>(false);
    engine_->set_version(dao_engine::access_2000);
  }
  void TearDown() override {
    engine_.reset();
    dao_fake::unregister_engine(CLSID_DBEngine36);
    EXPECT_EQ(dao_fake::live_objects(), 0) << "COM objects of the engine double left unreleased";
    dao_fake::reset();
  }
  dao_fake::world& world() { return dao_fake::the_world(); }

  std::unique_ptr<dao_engine> engine_;
};
