#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "model/StringIds.h"
#include "cli/Commands.h"
#include "packages/UpgradePackage.h"
#include "support/Packages.h"
#include "support/SimFixture.h"

namespace {

using namespace testsupport;
using Json = nlohmann::json;

// qel upgrade --json run in this process against a simulator whose wireless
// module refuses its reset: the router rows succeed, the firmware fails and
// the dashboard is never reached. Its exit status, verdict and row results.
struct Verdicts {
  int m_Exit;
  Json m_Succeeded;
  std::vector<Json> m_Results, m_Statuses;
};

Verdicts RunUpgrade(const std::string& packages) {
  SimOptions options = FastSimOptions(50);
  options.m_Faults.m_ResetRefused = true;
  const auto sim = StartSim(options);
  const ScopedClockScale keep(Clock::Scale());  // the command sets the clock's speed
  CLI::App app;
  int exitCode = -1;
  AddUpgradeCommand(app, &exitCode);
  const std::string port = std::to_string(options.m_Port);
  const char* argv[] = {"qel", "upgrade", "--json", "--dir", packages.c_str(), "--broadcast", "127.255.255.255",
                        "--port", port.c_str(), "--time-scale", "50"};
  testing::internal::CaptureStdout();
  app.parse(static_cast<int>(std::size(argv)), argv);
  const Json report = Json::parse(testing::internal::GetCapturedStdout(), nullptr, false);
  Verdicts verdicts{exitCode, report["succeeded"], {}, {}};
  for (const Json& row : report["rows"]) {
    verdicts.m_Results.push_back(row["result"]);
    verdicts.m_Statuses.push_back(row["status"]);
  }
  return verdicts;
}

// Each row's result and the exit status come from what the pass tells of
// each row, never from the texts it shows: with the result texts replaced
// (the firmware's failure now reading as a success), they stay.
TEST(UpgradeCommandTest, VerdictsComeFromTheRowsOutcomesNotFromTheirTexts) {
  TempDir dir;
  const ScopedLogFolder logs(dir.Path());
  MakeFittingPackages(dir.Path());
  const Verdicts shown = RunUpgrade(dir.Path());
  static const char done[] = "Fertig", success[] = "Download successfully";
  SetResourceData(IDS_DOWNLOAD_OK, STRING_TABLE_TYPE, reinterpret_cast<const uint8_t*>(done), sizeof done - 1);
  SetResourceData(IDS_RESTART_FAILED, STRING_TABLE_TYPE, reinterpret_cast<const uint8_t*>(success), sizeof success - 1);
  const Verdicts replaced = RunUpgrade(dir.Path());
  for (int id : {IDS_DOWNLOAD_OK, IDS_RESTART_FAILED}) SetResourceData(id, STRING_TABLE_TYPE, nullptr, 0);

  const std::vector<Json> results = {"succeeded", "succeeded", "succeeded", "failed", "failed"};
  for (const Verdicts* v : {&shown, &replaced})
    EXPECT_EQ(std::tuple(v->m_Exit, v->m_Succeeded, v->m_Results), std::tuple(1, Json(false), results));
  ASSERT_EQ(replaced.m_Statuses.size(), 5u);
  EXPECT_EQ(replaced.m_Statuses[0].get<std::string>().rfind("Fertig (", 0), 0u) << replaced.m_Statuses[0];
  EXPECT_EQ(replaced.m_Statuses[3].get<std::string>().rfind("Download successfully (", 0), 0u) << replaced.m_Statuses[3];
}

}  // namespace
