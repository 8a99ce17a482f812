#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "engine/UpgradeEngine.h"
#include "net/Clock.h"
#include "support/Recorders.h"
#include "support/TestSupport.h"

namespace {

using Lines = std::vector<std::string>;

// The list's changes as text, and the texts the status column was fitted to.
class List : public testsupport::RecordingList {
 public:
  void FitStatusColumn(const std::string& text) override { m_Fits.push_back(text); }
  Lines Calls() const {
    Lines calls;
    for (const testsupport::ListChange& c : Changes()) {
      char text[160];
      if (c.m_Column < 0) snprintf(text, sizeof text, "colour %d %06X", c.m_Row, c.m_Colour);
      else snprintf(text, sizeof text, "cell %d,%d %s", c.m_Row, c.m_Column, c.m_Text.c_str());
      calls.push_back(text);
    }
    return calls;
  }
  Lines m_Fits;
};

class RowDisplayTest : public testing::Test {
 protected:
  RowDisplayTest() { Clock::SetScale(1); }  // the result shows wall-clock seconds
  testsupport::TempDir m_Dir;  // where the engines' logs would go
  testsupport::ScopedEnv m_TmpDir{"TMPDIR", m_Dir.Path().c_str()};
};

TEST_F(RowDisplayTest, StatusAndProgress) {
  const struct {
    ModuleKind m_Row;
    std::function<void(UpgradeEngine&)> m_Show;
    Lines m_Calls;
    Lines m_Log;  // also the texts the status column is fitted to
  } kCases[] = {
      {MODULE_APP, [](UpgradeEngine& e) { e.ShowRowStatus("Sending", COLOUR_BLACK); },
       {"colour 1 000000", "cell 1,4 Sending"}, {"Sending"}},
      {MODULE_BOOT, [](UpgradeEngine& e) { e.ShowRowStatusId(IDS_WAITING_ROUTER, COLOUR_BLUE); },
       {"colour 0 0000FF", "cell 0,4 Waiting for the upgrade of the router module"},
       {"Waiting for the upgrade of the router module"}},
      {MODULE_FIRMWARE, [](UpgradeEngine& e) { for (int id : {104, 0, 107}) e.ShowRowStatusId(id, COLOUR_RED); },
       {"colour 3 FF0000", "cell 3,4 Backing up the NV"}, {"Backing up the NV"}},
      {MODULE_NONE, [](UpgradeEngine& e) { e.ShowRowStatusId(IDS_ERASING_NVRAM, COLOUR_BLACK); e.ShowRowProgress(40); },
       {}, {"Erasing the NVRAM of the router module"}},
      {MODULE_FIRMWARE, [](UpgradeEngine& e) { for (int p : {0, 0, 45, 45, 100}) e.ShowRowProgress(p); },
       {"cell 3,3 0%", "cell 3,3 45%", "cell 3,3 100%"}, {}},
      {MODULE_BOOT,  // kept per row
       [](UpgradeEngine& e) { for (auto r : {MODULE_BOOT, MODULE_APP, MODULE_BOOT}) e.m_Row = r, e.ShowRowProgress(9); },
       {"cell 0,3 9%", "cell 1,3 9%"}, {}},
      {MODULE_DASHBOARD, [](UpgradeEngine& e) { e.ShowRowProgress(0), e.ForgetRowProgress(), e.ShowRowProgress(0); },
       {"cell 4,3 0%", "cell 4,3 0%"}, {}},  // forgotten when the rows are made anew
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(c.m_Calls));
    List list;
    UpgradeEngine engine(&list);
    engine.m_Row = c.m_Row;
    c.m_Show(engine);
    EXPECT_EQ(list.Calls(), c.m_Calls);
    EXPECT_EQ(list.m_Fits, c.m_Log);
    EXPECT_EQ(testsupport::LogMessages(engine.m_Log.Pending()), c.m_Log);
  }
}

TEST_F(RowDisplayTest, ResultWithTheElapsedMinutesWithinTheHour) {
  // The clock may tick over between setting the start and showing the result.
  const struct {
    long m_Seconds;
    int m_TextId;
    uint32_t m_Colour;
    const char* m_Text;
    const char* m_TextLater;
  } kCases[] = {
      {125, IDS_DOWNLOAD_OK, COLOUR_BLUE, "Download successfully (02:05)", "Download successfully (02:06)"},
      {3665, IDS_DOWNLOAD_OK, COLOUR_BLUE, "Download successfully (01:05)", "Download successfully (01:06)"},
      {0, IDS_DOWNLOAD_OK, COLOUR_BLUE, "Download successfully (00:00)", "Download successfully (00:01)"},
      {-30, IDS_DOWNLOAD_OK, COLOUR_BLUE, "Download successfully (00:00)", "Download successfully (00:00)"},
      {59, IDS_DOWNLOAD_FAILED, COLOUR_RED, "Download failed (00:59)", "Download failed (01:00)"},
      {3600, IDS_TCP_FAILED, COLOUR_RED, "Creating the TCP connection failed (00:00)",
       "Creating the TCP connection failed (00:01)"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.m_Text);
    List list;
    for (List* target : {&list, static_cast<List*>(nullptr)}) {  // without a list only the log hears of it
      UpgradeEngine engine(target);
      engine.m_Row = MODULE_DASHBOARD;
      engine.m_ResultTextId = c.m_TextId;
      engine.m_StageStart = Clock::WallSeconds() - c.m_Seconds;
      const time_t before = engine.m_StageStart;
      engine.ShowRowResult();
      EXPECT_GE(engine.m_StageStart, before + c.m_Seconds) << "the next stage's time starts now";
      const std::string shown = testsupport::LogMessages(engine.m_Log.Pending()).at(0);
      EXPECT_TRUE(shown == c.m_Text || shown == c.m_TextLater) << shown;
      if (!target) continue;
      EXPECT_EQ(list.Calls().size(), 2u);
      EXPECT_EQ(list.LastColour(MODULE_DASHBOARD), c.m_Colour);
      EXPECT_EQ(list.LastStatus(MODULE_DASHBOARD), shown);
    }
  }
}

}  // namespace
