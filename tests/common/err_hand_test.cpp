#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "TK/tk_excep.h"
#include "common/err_hand.h"
#include "common/err_text.h"

namespace {
// An Oracle or DAO error as the engines raise them: code and level set.
class coded_error : public tk_exception {
 public:
  coded_error(uint32_t code, const std::string& text, int level)
      : tk_exception(text, code, level) {}
};

constexpr uint32_t ora(uint32_t n) { return 0x100000u + n; }
constexpr uint32_t dao(uint32_t n) { return 0x10000u + n; }

class ErrorHandlerTest : public ::testing::Test {
 protected:
  ErrorHandlerTest() : handler(dmw_oracle_error_text_count, dmw_oracle_error_texts) {
    handler.load_err_map(dmw_access_error_text_count, dmw_access_error_texts);
  }
  error_handler handler;
};

// The wizard's side, recorded.
class recording_front_end : public error_front_end {
 public:
  bool up = true;
  answer reply{false, false};
  std::vector<std::u16string> lines;
  std::vector<std::string> shown_errors;
  std::vector<std::string> questions;

  bool is_up() const override { return up; }
  size_t error_line_count() const override { return lines.size(); }
  void append_error_line(const std::u16string& line) override { lines.push_back(line); }
  void show_internal_error(const std::string& text) override {
    fprintf(stderr, "window: %s", text.c_str());
  }
  void show_error(const std::string& message) override { shown_errors.push_back(message); }
  answer ask_continue(const std::string& message) override {
    questions.push_back(message);
    return reply;
  }
};

// Runs the handler on the console and answers what it printed.
std::string console_output(error_handler& handler, const tk_exception& error) {
  testing::internal::CaptureStdout();
  handler.handle(error, false);
  return testing::internal::GetCapturedStdout();
}
}  // namespace

TEST_F(ErrorHandlerTest, MessagesUseTheFriendlyTextsAndTheObjectDescription) {
  handler.set_object_description(u"EMP");
  EXPECT_EQ(handler.message_for(coded_error(ora(1017), "ORA-01017: invalid username", 0)),
            "EMP: Invalid user name or password.");
  handler.set_object_description(u"EMP", 3);
  EXPECT_EQ(handler.object_description(), "EMP, record #3");
  EXPECT_EQ(handler.message_for(coded_error(dao(3022), "raw", 0)),
            "EMP, record #3: Duplicate field values being used for an unique index were found.\n"
            "See 'Troubleshooting' article of the product documentation\nfor solution.");
  handler.clear_object_description();
  // A code the map does not know, and an own error (code 0), keep their text.
  EXPECT_EQ(handler.message_for(coded_error(ora(942), "ORA-00942: table or view does not exist", 0)),
            "ORA-00942: table or view does not exist");
  EXPECT_EQ(handler.message_for(tk_exception("plain failure", 0)), "plain failure");
}

TEST_F(ErrorHandlerTest, TablesHoldEveryTextOnceWithTheSupportAddress) {
  EXPECT_EQ(dmw_oracle_error_text_count, 12);
  EXPECT_EQ(dmw_access_error_text_count, 7);
  EXPECT_EQ(handler.message_for(coded_error(dao(3421), "", 0)),
            "Data type conversion error. Please contact " DMW_SUPPORT_ADDRESS "\nfor the solution.");
  EXPECT_EQ(handler.message_for(coded_error(ora(12514), "", 0)),
            "Cannot resolve Oracle service name. Check to verify the correct name was given.\n");
  EXPECT_EQ(handler.message_for(coded_error(dao(3358), "", 0)),
            handler.message_for(coded_error(dao(3173), "", 0)));
  // The Access table comes second and never replaces an Oracle text.
  const tk_error_entry clash[] = {{ora(1017), "replaced"}};
  handler.load_err_map(1, clash);
  EXPECT_EQ(handler.message_for(coded_error(ora(1017), "", 0)), "Invalid user name or password.");
}

TEST_F(ErrorHandlerTest, SecondHandlerIsAnInternalError) {
  EXPECT_THROW(error_handler(0, dmw_oracle_error_texts), tk_mail_assertion);
  EXPECT_EQ(error_handler::instance(), &handler);
}

TEST_F(ErrorHandlerTest, ConsoleShowsLevelZeroOnOneLineAndGoesOn) {
  handler.set_object_description(u"DEPT");
  EXPECT_EQ(console_output(handler, coded_error(ora(28000), "", 0)),
            "Error:\nDEPT: Wrong password was entered the maximum number of times or "
            "the DBA has locked the account.\n");
  handler.set_do_not_show(true);
  EXPECT_EQ(console_output(handler, coded_error(ora(28000), "", 0)), "");
}

using ErrorHandlerDeathTest = ErrorHandlerTest;

TEST_F(ErrorHandlerDeathTest, ConsoleEndsTheProcessOnLevelOneAndTwo) {
  // stdout is sent to stderr so that the death test can read it.
  EXPECT_EXIT(
      {
        dup2(STDERR_FILENO, STDOUT_FILENO);
        handler.handle(tk_exception("Destination path does not exist.\nPlease verify.", 1), false);
      },
      testing::ExitedWithCode(255), "^Error:\nDestination path does not exist. Please verify.\n$");
  EXPECT_EXIT(
      {
        dup2(STDERR_FILENO, STDOUT_FILENO);
        handler.set_do_not_show(true);
        handler.handle(tk_exception("quiet", 1), false);
      },
      testing::ExitedWithCode(255), "^$");
  // Internal errors are shown even when quiet, with their line break kept.
  EXPECT_EXIT(
      {
        dup2(STDERR_FILENO, STDOUT_FILENO);
        handler.set_do_not_show(true);
        handler.set_object_description(u"EMP");
        handler.handle(tk_mail_assertion("abc.cpp", 7), false);
      },
      testing::ExitedWithCode(255), "^Internal error: Internal error: \ncode=6162632e6370705c37\n$");
}

TEST_F(ErrorHandlerDeathTest, FrontEndShowsInternalErrorsBeforeEnding) {
  recording_front_end wizard;
  handler.set_front_end(&wizard);
  EXPECT_EXIT(handler.handle(tk_mail_assertion("abc.cpp", 7), true), testing::ExitedWithCode(255),
              "^window: Internal error: \ncode=6162632e6370705c37$");
}

TEST_F(ErrorHandlerTest, FrontEndListsTwentyErrorsOnOneLineEach) {
  recording_front_end wizard;
  wizard.reply = {false, false};
  handler.set_front_end(&wizard);
  for (int i = 1; i <= 21; ++i) {
    handler.set_object_description(u"T" + std::u16string(1, static_cast<char16_t>(u'A' + i - 1)));
    handler.handle(tk_exception("two\nlines", 0), false);
  }
  ASSERT_EQ(wizard.lines.size(), 20u);
  EXPECT_EQ(wizard.lines.front(), u"TA: two lines");
  EXPECT_EQ(wizard.lines.back(), u"TT: two lines");
  EXPECT_EQ(wizard.questions.size(), 21u);  // the 21st is still asked about
  EXPECT_EQ(wizard.questions.back(), "TU: two lines");

  wizard.up = false;
  handler.handle(tk_exception("not listed", 0), false);
  EXPECT_EQ(wizard.lines.size(), 20u);
}

TEST_F(ErrorHandlerTest, FrontEndAbortEndsTheRunUnlessItIsEndingAlready) {
  recording_front_end wizard;
  handler.set_front_end(&wizard);
  wizard.reply = {true, true};
  EXPECT_THROW(handler.handle(tk_exception("bad row", 0), false), tk_final_exception);
  EXPECT_FALSE(handler.do_not_show());  // "Abort" drops the check box
  EXPECT_NO_THROW(handler.handle(tk_exception("bad row", 0), true));
  EXPECT_TRUE(handler.do_not_show());
}

TEST_F(ErrorHandlerTest, FrontEndDoNotShowSilencesLaterErrorsButLevelOneStillEndsTheRun) {
  recording_front_end wizard;
  handler.set_front_end(&wizard);
  wizard.reply = {false, true};  // "Continue" with the box ticked
  handler.handle(tk_exception("first", 0), false);
  EXPECT_TRUE(handler.do_not_show());
  handler.handle(tk_exception("second", 0), false);
  EXPECT_EQ(wizard.questions.size(), 1u);

  EXPECT_THROW(handler.handle(tk_exception("fatal", 1), false), tk_final_exception);
  EXPECT_TRUE(wizard.shown_errors.empty());
  EXPECT_EQ(wizard.lines.size(), 3u);  // still listed
}

TEST_F(ErrorHandlerTest, FrontEndShowsLevelOneAndEndsTheRunBelowRunLevel) {
  recording_front_end wizard;
  handler.set_front_end(&wizard);
  EXPECT_THROW(handler.handle(tk_exception("disk\nfull", 1), false), tk_final_exception);
  EXPECT_NO_THROW(handler.handle(tk_exception("disk\nfull", 1), true));
  EXPECT_EQ(wizard.shown_errors, (std::vector<std::string>{"disk full", "disk full"}));
  EXPECT_TRUE(wizard.questions.empty());
}
