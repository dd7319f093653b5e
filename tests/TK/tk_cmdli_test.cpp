#include <gtest/gtest.h>

#include "TK/tk_cmdli.h"
#include "TK/tk_excep.h"

namespace {
// "--a" stands before "--ab": the earlier prefix wins.
const tk_cmdli_option kOptions[] = {{1, "--a"}, {2, "--ab="}, {3, "--x="}, {0, ""}};
}  // namespace

TEST(CommandLineTokenizer, FirstMatchingPrefixWinsAndTheRestIsTheValue) {
  const char* argv[] = {"prog", "--ab=1", "--x=", "--x=a=b", "stray", "--X=1"};
  tk_cmdli args(kOptions, 6, argv);
  std::vector<std::pair<int, std::string>> seen;
  for (; args.more(); args.next()) seen.emplace_back(args.id(), args.value());
  EXPECT_EQ(seen, (std::vector<std::pair<int, std::string>>{
                      {1, "b=1"}, {3, ""}, {3, "a=b"}, {-1, "stray"}, {-1, "--X=1"}}));
  EXPECT_EQ(args.unmatched(), (std::vector<std::string>{"stray", "--X=1"}));
  // Past the end every read is an internal error of the tokenizer.
  EXPECT_THROW(args.id(), tk_mail_assertion);
  EXPECT_THROW(args.value(), tk_mail_assertion);
  EXPECT_THROW(args.next(), tk_mail_assertion);
}

TEST(CommandLineTokenizer, KeepsTwentyUnmatchedArgumentsAndRefusesTheTwentyFirst) {
  std::vector<std::string> texts(22, "stray");
  std::vector<const char*> argv;
  for (auto& t : texts) argv.push_back(t.c_str());
  tk_cmdli args(kOptions, 21, argv.data());  // program name and 20 arguments
  while (args.more()) args.next();
  EXPECT_EQ(args.unmatched().size(), 20u);

  tk_cmdli more(kOptions, 22, argv.data());
  try {
    while (more.more()) more.next();
    FAIL() << "a 21st unmatched argument was accepted";
  } catch (const tk_mail_assertion& e) {
    const std::string code = e.text().substr(e.text().find("code=") + 5);
    EXPECT_EQ(code.rfind(tk_mail_assertion::location_code("tk_cmdli", 0).substr(0, 18), 0), 0u);
  }
}

TEST(CommandLineTokenizer, NoArgumentsMeansNothingToRead) {
  const char* argv[] = {"prog"};
  tk_cmdli args(kOptions, 1, argv);
  EXPECT_FALSE(args.more());
  EXPECT_TRUE(args.unmatched().empty());
}
