// Failure kinds, raising and the text of the unhandled-failure report.
#include <gtest/gtest.h>

#include <string>

#include "vaskor/failure.hpp"

namespace {

using vaskor::AssertionDefect;
using vaskor::CatchableError;
using vaskor::Defect;
using vaskor::Exception;
using vaskor::OverflowDefect;
using vaskor::ValueError;

TEST(FailureKinds, HandlerCatchesItsKindAndEverythingBelow) {
  bool caught = false;
  try {
    vaskor::raise<ValueError>("bad value");
  } catch (const CatchableError& e) {
    caught = true;
    EXPECT_STREQ(e.name, "ValueError");
    EXPECT_EQ(e.msg, "bad value");
  }
  EXPECT_TRUE(caught);

  // A defect passes a CatchableError handler and reaches Defect, then Exception.
  std::string path;
  try {
    try {
      try {
        vaskor::raise<AssertionDefect>("broken");
      } catch (const CatchableError&) {
        path += "catchable ";
      }
    } catch (const Defect& d) {
      path += "defect ";
      EXPECT_STREQ(d.name, "AssertionDefect");
      vaskor::reraise();
    }
  } catch (const Exception& e) {
    path += "exception";
    EXPECT_EQ(e.msg, "broken");
    EXPECT_EQ(e.trace.size(), 1u);  // re-raise adds no entry
  }
  EXPECT_EQ(path, "defect exception");

  try {
    vaskor::raise<OverflowDefect>("over- or underflow");
  } catch (const vaskor::ArithmeticDefect& e) {
    EXPECT_STREQ(e.name, "OverflowDefect");
  }
}

TEST(FailureKinds, RaiseRecordsItsSiteAndKeepsAPresetName) {
  const int line = __LINE__ + 2;
  try {
    vaskor::raise<ValueError>("x");
  } catch (const Exception& e) {
    ASSERT_EQ(e.trace.size(), 1u);
    EXPECT_EQ(e.trace[0].line, line);
    EXPECT_NE(std::string(e.trace[0].filename).find("failure_test.cpp"), std::string::npos);
    // The raising function: a test body (compilers differ in how much of its
    // signature they give).
    EXPECT_NE(std::string(e.trace[0].procname).find("TestBody"), std::string::npos);
  }

  ValueError preset("y");
  preset.name = "CustomKind";
  try {
    vaskor::raise(preset);
  } catch (const Exception& e) {
    EXPECT_STREQ(e.name, "CustomKind");
  }

  // A site without names adds no trace entry.
  try {
    vaskor::raise<ValueError>("z", vaskor::Site{nullptr, "file.cpp", 3});
  } catch (const Exception& e) {
    EXPECT_TRUE(e.trace.empty());
    EXPECT_STREQ(e.name, "ValueError");
  }
}

TEST(FailureKinds, CheckRaisesAssertionDefectWithItsText) {
  EXPECT_NO_THROW(vaskor::check(true, "never"));
  try {
    vaskor::check(1 + 1 == 3, "arith `1 + 1 == 3` ");
    FAIL() << "check passed";
  } catch (const AssertionDefect& e) {
    EXPECT_EQ(e.msg, "arith `1 + 1 == 3` ");
    EXPECT_STREQ(e.name, "AssertionDefect");
    ASSERT_EQ(e.trace.size(), 1u);
    EXPECT_NE(std::string(e.trace[0].filename).find("failure_test.cpp"), std::string::npos);
  }
}

Exception withTrace(std::vector<vaskor::StackTraceEntry> trace, std::string msg, const char* name) {
  Exception e(std::move(msg));
  e.name = name;
  e.trace = std::move(trace);
  return e;
}

TEST(UnhandledReport, LineFormatPadsTo25Columns) {
  const Exception e = withTrace({{"main", 12, "a.cpp"},
                                 {"noLine", 0, "b.cpp"},
                                 {"wide", 7, "a_twenty_char_name.cpp"},
                                 {"exact", 0, "file_name_of_25_chars.xyz"}},
                                "boom", "ValueError");
  EXPECT_EQ(vaskor::unhandledReport(e),
            "a.cpp(12)                main\n"
            "b.cpp                    noLine\n"
            "a_twenty_char_name.cpp(7) wide\n"
            "file_name_of_25_chars.xyz exact\n"
            "Error: unhandled exception: boom [ValueError]\n");
}

TEST(UnhandledReport, TraceOver1999CharactersIsLeftOutWhole) {
  // One line of 25 + 1 + procname + newline characters.
  const std::string proc1999(1999 - 27, 'p');
  const std::string proc2000(2000 - 27, 'p');
  const Exception fits = withTrace({{proc1999.c_str(), 0, "file_name_of_25_chars.xyz"}}, "m", "ValueError");
  const Exception over = withTrace({{proc2000.c_str(), 0, "file_name_of_25_chars.xyz"}}, "m", "ValueError");
  // A full buffer takes no further piece.
  EXPECT_EQ(vaskor::unhandledReport(fits), "file_name_of_25_chars.xyz " + proc1999 + "\n");
  EXPECT_EQ(vaskor::unhandledReport(over), "Error: unhandled exception: m [ValueError]\n");
}

TEST(UnhandledReport, MessageThatDoesNotFitIsSkippedButTheKindIsWritten) {
  const std::string line = "a.cpp(1)                 p\n";
  const std::string prefix = "Error: unhandled exception: ";
  // Room left after the trace line and the prefix, and the tail " [ValueError]\n".
  const size_t room = 1999 - line.size() - prefix.size();
  const std::string tail = " [ValueError]\n";
  const std::string longest(room - tail.size(), 'm');
  const std::string tooLong(room + 1, 'm');

  EXPECT_EQ(vaskor::unhandledReport(withTrace({{"p", 1, "a.cpp"}}, longest, "ValueError")),
            line + prefix + longest + tail);
  EXPECT_EQ(vaskor::unhandledReport(withTrace({{"p", 1, "a.cpp"}}, tooLong, "ValueError")),
            line + prefix + tail);
  // A message that fits by itself but leaves no room for the whole tail: the
  // pieces that still fit are written, the others skipped.
  const std::string nearly(room - 2, 'm');
  EXPECT_EQ(vaskor::unhandledReport(withTrace({{"p", 1, "a.cpp"}}, nearly, "ValueError")),
            line + prefix + nearly + " [");
}

}  // namespace
