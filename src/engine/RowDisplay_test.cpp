#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/ScopedTmpDir.h"
#include "engine/UpgradeEngine.h"
#include "net/Clock.h"
#include "support/TestSupport.h"

namespace {

// Every call the engine makes on the list, as text.
class CallList : public IModuleList {
 public:
  void DeleteAllRows() override { m_Calls.push_back("delete"); }
  void InsertRow(int row, const std::string& type) override { m_Calls.push_back("insert " + std::to_string(row) + " " + type); }
  void SetCell(int row, int column, const std::string& text) override {
    m_Calls.push_back("cell " + std::to_string(row) + "," + std::to_string(column) + " " + text);
  }
  void SetRowColour(int row, uint32_t colour) override {
    char text[32];
    snprintf(text, sizeof text, "colour %d %06X", row, colour);
    m_Calls.push_back(text);
  }
  void FitStatusColumn(const std::string& text) override { m_Calls.push_back("fit " + text); }
  std::vector<std::string> m_Calls;
};

class RowDisplayTest : public testing::Test {
 protected:
  // The engine's log goes to the temporary directory: ours.
  RowDisplayTest() { m_Engine = std::make_unique<UpgradeEngine>(&m_List); }

  // Log messages without their timestamps.
  std::vector<std::string> Messages() const { return testsupport::LogMessages(m_Engine->m_Log.Pending()); }

  // ShowRowResult with the stage started seconds ago; the result text, which
  // may be one second later when the clock ticks over in between.
  std::string ResultAfter(long seconds, const std::string& text, const std::string& expected,
                          const std::string& expectedLater) {
    m_List.m_Calls.clear();
    m_Engine->m_StageStart = Clock::WallSeconds() - seconds;
    const time_t before = m_Engine->m_StageStart;
    m_Engine->ShowRowResult();
    EXPECT_GE(m_Engine->m_StageStart, before + seconds) << "the next stage's time starts now";
    EXPECT_FALSE(m_List.m_Calls.empty());
    const std::string cell = m_List.m_Calls.size() > 1 ? m_List.m_Calls[1] : "";
    const std::string prefix = "cell " + std::to_string(m_Engine->m_Row) + ",4 " + text;
    if (cell == prefix + expectedLater) return expected;
    return cell.substr(0, prefix.size()) == prefix ? cell.substr(prefix.size()) : cell;
  }

  ScopedTmpDir m_Dir;
  CallList m_List;
  std::unique_ptr<UpgradeEngine> m_Engine;
};

TEST_F(RowDisplayTest, StatusSetsColourCellWidthAndLogLine) {
  m_Engine->m_Row = MODULE_APP;
  m_Engine->ShowRowStatus("Transmitting the upgrade data of the router module", COLOUR_BLACK);
  EXPECT_EQ(m_List.m_Calls, (std::vector<std::string>{
                                "colour 1 000000",
                                "cell 1,4 Transmitting the upgrade data of the router module",
                                "fit Transmitting the upgrade data of the router module",
                            }));
  EXPECT_EQ(Messages(), std::vector<std::string>{"Transmitting the upgrade data of the router module"});
}

TEST_F(RowDisplayTest, StatusByIdOnlyForKnownIds) {
  m_Engine->m_Row = MODULE_FIRMWARE;
  m_Engine->ShowRowStatusId(104, COLOUR_BLACK);
  m_Engine->ShowRowStatusId(0, COLOUR_BLACK);
  EXPECT_TRUE(m_List.m_Calls.empty());
  EXPECT_TRUE(Messages().empty());
  m_Engine->ShowRowStatusId(IDS_BACKING_UP_NV, COLOUR_RED);
  EXPECT_EQ(m_List.m_Calls.at(0), "colour 3 FF0000");
  EXPECT_EQ(m_List.m_Calls.at(1), "cell 3,4 Backing up the NV");
  EXPECT_EQ(Messages(), std::vector<std::string>{"Backing up the NV"});
}

TEST_F(RowDisplayTest, NoRowChangesNoRowButStillLogsAndFits) {
  m_Engine->m_Row = MODULE_NONE;
  m_Engine->ShowRowStatusId(IDS_ERASING_NVRAM, COLOUR_BLACK);
  m_Engine->ShowRowProgress(40);
  EXPECT_EQ(m_List.m_Calls, std::vector<std::string>{"fit Erasing the NVRAM of the router module"});
  EXPECT_EQ(Messages(), std::vector<std::string>{"Erasing the NVRAM of the router module"});
}

TEST_F(RowDisplayTest, WithoutAListOnlyTheLogHearsOfIt) {
  UpgradeEngine engine(nullptr);
  engine.m_Row = MODULE_BOOT;
  engine.ShowRowStatus("Waiting for the upgrade of the router module", COLOUR_BLACK);
  engine.ShowRowProgress(10);
  engine.ShowRowResult();
  EXPECT_NE(engine.m_Log.Pending().find("Waiting for the upgrade of the router module\r\n"), std::string::npos);
  EXPECT_NE(engine.m_Log.Pending().find("Download successfully ("), std::string::npos);
}

TEST_F(RowDisplayTest, ResultShowsElapsedMinutesWithinTheHour) {
  m_Engine->m_Row = MODULE_FIRMWARE;
  m_Engine->m_ResultTextId = IDS_DOWNLOAD_OK;
  EXPECT_EQ(ResultAfter(125, "Download successfully", " (02:05)", " (02:06)"), " (02:05)");
  EXPECT_EQ(m_List.m_Calls.at(0), "colour 3 0000FF");
  EXPECT_EQ(ResultAfter(61 * 60 + 5, "Download successfully", " (01:05)", " (01:06)"), " (01:05)");
  EXPECT_EQ(ResultAfter(0, "Download successfully", " (00:00)", " (00:01)"), " (00:00)");
  const std::vector<std::string> messages = Messages();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].substr(0, 22), "Download successfully ");
}

TEST_F(RowDisplayTest, FailedResultIsRed) {
  m_Engine->m_Row = MODULE_DASHBOARD;
  m_Engine->m_ResultTextId = IDS_DOWNLOAD_FAILED;
  EXPECT_EQ(ResultAfter(59, "Download failed", " (00:59)", " (01:00)"), " (00:59)");
  EXPECT_EQ(m_List.m_Calls.at(0), "colour 4 FF0000");
  m_Engine->m_ResultTextId = IDS_TCP_FAILED;
  EXPECT_EQ(ResultAfter(3600, "Creating the TCP connection failed", " (00:00)", " (00:01)"), " (00:00)");
  EXPECT_EQ(m_List.m_Calls.at(0), "colour 4 FF0000");
}

TEST_F(RowDisplayTest, ProgressWritesEachNewValueOnce) {
  m_Engine->m_Row = MODULE_FIRMWARE;
  m_Engine->ShowRowProgress(0);
  m_Engine->ShowRowProgress(0);
  m_Engine->ShowRowProgress(45);
  m_Engine->ShowRowProgress(45);
  m_Engine->ShowRowProgress(100);
  EXPECT_EQ(m_List.m_Calls, (std::vector<std::string>{"cell 3,3 0%", "cell 3,3 45%", "cell 3,3 100%"}));
  EXPECT_TRUE(Messages().empty()) << "progress is not logged";
}

TEST_F(RowDisplayTest, ProgressIsKeptPerRow) {
  m_Engine->m_Row = MODULE_BOOT;
  m_Engine->ShowRowProgress(100);
  // The next row's first value equals the last one of the row before; it
  // must still show.
  m_Engine->m_Row = MODULE_APP;
  m_Engine->ShowRowProgress(100);
  m_Engine->m_Row = MODULE_BOOT;
  m_Engine->ShowRowProgress(100);
  EXPECT_EQ(m_List.m_Calls, (std::vector<std::string>{"cell 0,3 100%", "cell 1,3 100%"}));
}

TEST_F(RowDisplayTest, ForgottenProgressIsWrittenAgain) {
  m_Engine->m_Row = MODULE_DASHBOARD;
  m_Engine->ShowRowProgress(0);
  m_Engine->ForgetRowProgress();  // rows made anew by a Check
  m_Engine->ShowRowProgress(0);
  EXPECT_EQ(m_List.m_Calls, (std::vector<std::string>{"cell 4,3 0%", "cell 4,3 0%"}));
}

}  // namespace
