#include "cli/progress_line.h"

#include <gtest/gtest.h>

#include "cli/messages.h"
#include "engine/language.h"
#include "engine/text_format.h"

namespace kalvex::cli {
namespace {

class ProgressLineTest : public ::testing::Test {
 protected:
  void TearDown() override { g_language = m_saved; }

 private:
  int m_saved = g_language;
};

ProgressFigures Figures(bool write, bool verify, int bar) {
  ProgressFigures f;
  f.bar = bar;
  if (write) f.write = {true, "500 MByte", "1:40 min (1:40 min remaining)", "5.00 MByte/s"};
  if (verify) f.verify = {true, "250 MByte", "25 s (1:15 min remaining)", "10.0 MByte/s"};
  return f;
}

TEST_F(ProgressLineTest, ShowsTheWritePassWhileWriting) {
  g_language = 1;
  RunStatus status;
  status.m_writeStarted = true;
  status.m_writing = true;
  const std::string line = BuildProgressLine(status, Figures(true, false, 25), 0);
  EXPECT_EQ(line,
            "[##........]  25% Writing: 500 MByte, 1:40 min (1:40 min remaining), 5.00 MByte/s");
}

TEST_F(ProgressLineTest, ShowsTheVerifyPassOnceItBegan) {
  g_language = 1;
  RunStatus status;
  status.m_writeStarted = true;
  status.m_verifyStarted = true;
  status.m_verifying = true;
  const std::string line = BuildProgressLine(status, Figures(true, true, 62), 0);
  EXPECT_EQ(line,
            "[######....]  62% Verifying: 250 MByte, 25 s (1:15 min remaining), 10.0 MByte/s");
  const std::string endless = BuildProgressLine(status, Figures(true, true, 100), 7);
  EXPECT_EQ(endless.substr(0, 37), "[##########] 100% Verifying (pass 7):");
}

TEST_F(ProgressLineTest, GermanWording) {
  g_language = 0;
  RunStatus status;
  status.m_verifyStarted = true;
  const std::string line = BuildProgressLine(status, Figures(false, true, 0), 2);
  EXPECT_NE(line.find("Prüfen (Durchgang 2): 250 MByte"), std::string::npos) << line;
  EXPECT_EQ(line.rfind("[..........]   0% ", 0), 0u) << line;
}

TEST_F(ProgressLineTest, BeforeAnyPass) {
  g_language = 1;
  const std::string line = BuildProgressLine(RunStatus{}, ProgressFigures{}, 0);
  EXPECT_EQ(line, "[..........]   0% Starting ...");
}

TEST_F(ProgressLineTest, FitToWidthCountsCharacters) {
  EXPECT_EQ(FitToWidth("abcdef", 4), "abcd");
  EXPECT_EQ(FitToWidth("abc", 10), "abc");
  // Umlauts are two bytes each but one column.
  EXPECT_EQ(FitToWidth("Prüfen läuft", 8), "Prüfen l");
  EXPECT_EQ(CountChars(FitToWidth("üüüüüü", 3)), 3u);
}

}  // namespace
}  // namespace kalvex::cli
