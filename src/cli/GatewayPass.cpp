#include "cli/GatewayPass.h"

#include <cstdio>
#include <mutex>

#include "app/CheckProcedure.h"
#include "cli/TerminalModuleList.h"
#include "cli/UpgradeReport.h"
#include "engine/UpgradeEngine.h"
#include "net/Clock.h"
#include "packages/ModuleTable.h"

namespace {

// Tells what one gateway's engine does, as events.
class Reporter {
 public:
  Reporter(const RouterInfo& router, IGatewayEvents& events)
      : m_Router(router), m_Events(events), m_Start(Clock::TickCount()) {}

  GatewayEvent Event(GatewayEvent::Kind kind) const {
    GatewayEvent event;
    event.m_Kind = kind;
    event.m_Router = m_Router;
    event.m_ElapsedMs = Clock::TickCount() - m_Start;
    return event;
  }
  void Tell(const GatewayEvent& event) { m_Events.OnEvent(event); }
  void Tell(GatewayEvent::Kind kind, const std::string& text, bool succeeded = false) {
    GatewayEvent event = Event(kind);
    event.m_Text = text;
    event.m_Succeeded = succeeded;
    Tell(event);
  }

 private:
  const RouterInfo m_Router;
  IGatewayEvents& m_Events;
  const uint64_t m_Start;
};

// The gateway's rows, kept as the terminal keeps them, and during the pass
// each status, "%" and outcome of a row told as the pass tells it.
class GatewayRows : public TerminalModuleList, public IUpgradeEvents {
 public:
  GatewayRows(Reporter& reporter, UpgradeOutcome* outcome)
      : TerminalModuleList(nullptr, false), m_Reporter(reporter), m_Outcomes(outcome) {}

  void OnRowStatus(ModuleKind row, const std::string& text) override { Tell(GatewayEvent::STATUS, row, text, false); }
  void OnRowProgress(ModuleKind row, int) override { Tell(GatewayEvent::PROGRESS, row, "", false); }
  void OnRowEnd(const RowOutcome& outcome) override {
    m_Outcomes.OnRowEnd(outcome);
    Tell(GatewayEvent::ROW_RESULT, outcome.m_Row, outcome.m_Text, outcome.m_Succeeded);
  }

 private:
  // The row as shown now (its type, "%" and image on its way) in an event.
  void Tell(GatewayEvent::Kind kind, ModuleKind row, const std::string& text, bool succeeded) {
    const std::vector<TerminalRow> rows = Rows();
    if (static_cast<size_t>(row) >= rows.size()) return;
    const TerminalRow& shown = rows[row];
    GatewayEvent event = m_Reporter.Event(kind);
    event.m_Row = row;
    event.m_Type = shown.m_Cells[COL_TYPE];
    event.m_Text = text;
    event.m_Percent = shown.m_Cells[COL_PERCENT];
    event.m_Transfer = shown.m_Transfer;
    event.m_Succeeded = succeeded;
    m_Reporter.Tell(event);
  }

  Reporter& m_Reporter;
  RowOutcomes m_Outcomes;
};

// The gateway's notices become events; the last one says why a Check failed.
class GatewayNotices : public INoticeSink {
 public:
  explicit GatewayNotices(Reporter& reporter) : m_Reporter(reporter) {}
  void ShowNotice(const std::string&, const std::string& text) override {
    m_Last = text;
    m_Reporter.Tell(GatewayEvent::NOTICE, text);
  }
  void ShowDetail(const std::string& text) override { m_Reporter.Tell(GatewayEvent::NOTICE, text); }
  const std::string& Last() const { return m_Last; }

 private:
  Reporter& m_Reporter;
  std::string m_Last;
};

// Why a Check refused the upgrade: its notice, else the rows that do not fit.
std::string CheckRefusal(const GatewayNotices& notices, const std::vector<TerminalRow>& rows) {
  if (!notices.Last().empty()) return notices.Last();
  std::string text;
  for (const TerminalRow& row : rows) {
    if (row.m_Colour != COLOUR_RED) continue;
    text += (text.empty() ? "" : "; ") + row.m_Cells[COL_TYPE] + ": " + row.m_Cells[COL_STATUS];
  }
  return text;
}

// The first selected row that did not succeed: its type and its result (or,
// never reached, its status from the Check).
std::string FirstFailure(const UpgradeOutcome& outcome) {
  for (size_t i = 0; i < outcome.m_Rows.size() && i < MODULE_COUNT; ++i) {
    if (!outcome.m_Selected[i] || RowSucceeded(outcome, i)) continue;
    const TerminalRow& row = outcome.m_Rows[i];
    return row.m_Cells[COL_TYPE] + ": " + (outcome.m_Results[i] ? outcome.m_Results[i]->m_Text : row.m_Cells[COL_STATUS]);
  }
  return "";
}

}  // namespace

std::string GatewayPass::LogFileName(const uint8_t mac[6]) { return "QelUpgradeLog-" + FormatMac(mac) + ".txt"; }

GatewayPass::GatewayPass(const RouterInfo& router, const GatewayPassOptions& options, IGatewayEvents& events)
    : m_Router(router), m_Options(options), m_Events(events) {
  m_Outcome.m_Router = router;
}

GatewayPass::~GatewayPass() { Join(); }

void GatewayPass::Start() {
  m_Thread = std::thread([this] {
    Run();
    m_Done = true;
  });
}

void GatewayPass::Join() {
  if (m_Thread.joinable()) m_Thread.join();
}

void GatewayPass::Run() {
  Reporter reporter(m_Router, m_Events);
  reporter.Tell(GatewayEvent::FOUND, "");
  UpgradeOutcome outcome;
  GatewayRows rows(reporter, &outcome);
  GatewayNotices notices(reporter);
  ModuleTable table;
  table.LoadTypeNames();
  UpgradeEngine engine({.m_List = &rows,
                        .m_Table = &table,
                        .m_RouterPort = m_Options.m_Port,
                        .m_Notices = &notices,
                        .m_LogFileName = LogFileName(m_Router.m_Mac),
                        .m_Events = &rows});
  CheckOptions check;
  check.m_PackageDir = m_Options.m_PackageDir;
  check.m_KnownRouter = &m_Router;
  outcome.m_CheckSucceeded = RunCheck(engine, rows, check);
  if (!outcome.m_CheckSucceeded) {
    m_Outcome.m_Text = CheckRefusal(notices, rows.Rows());
    reporter.Tell(GatewayEvent::CHECKED, m_Outcome.m_Text, false);
    m_Outcome.m_Result = GatewayOutcome::NOT_STARTED;
    return;
  }
  reporter.Tell(GatewayEvent::CHECKED, "", true);
  for (int kind = 0; kind < MODULE_COUNT; ++kind) outcome.m_Selected[kind] = table[kind].IsSelected();
  outcome.m_UpgradeRan = true;
  engine.RunUpgrade();
  outcome.m_Rows = rows.Rows();
  const bool succeeded = UpgradeSucceeded(outcome);
  m_Outcome.m_Result = succeeded ? GatewayOutcome::UPGRADED : GatewayOutcome::FAILED;
  m_Outcome.m_Text = succeeded ? "" : FirstFailure(outcome);
  reporter.Tell(GatewayEvent::PASS_END, m_Outcome.m_Text, succeeded);
}
