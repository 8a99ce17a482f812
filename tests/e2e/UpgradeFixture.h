// Shared pieces of the upgrade tests: a module list that records every
// change in order, and a fixture that runs the simulator in-process on
// loopback with an engine pointed at it, both at an accelerated clock.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/ModuleList.h"
#include "app/ModuleTable.h"
#include "engine/UpgradeEngine.h"
#include "net/Clock.h"
#include "packages/PackageBuilder.h"
#include "sim/GatewaySim.h"
#include "support/TestSupport.h"

namespace upgradetest {

// Every list change, in the order the engine made it.
struct ListChange {
  int m_Row;
  int m_Column;  // -1 for a colour change
  std::string m_Text;
  uint32_t m_Colour;
};

class RecordingList : public IModuleList {
 public:
  void DeleteAllRows() override {}
  void InsertRow(int, const std::string&) override {}
  void SetCell(int row, int column, const std::string& text) override {
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Changes.push_back({row, column, text, 0});
  }
  void SetRowColour(int row, uint32_t colour) override {
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Changes.push_back({row, -1, "", colour});
  }
  void FitStatusColumn(const std::string&) override {}

  std::vector<ListChange> Changes() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Changes;
  }
  // The texts written to one column of one row, in order.
  std::vector<std::string> Cells(int row, int column) const {
    std::vector<std::string> texts;
    for (const ListChange& change : Changes())
      if (change.m_Row == row && change.m_Column == column) texts.push_back(change.m_Text);
    return texts;
  }
  std::vector<std::string> Statuses(int row) const { return Cells(row, COL_STATUS); }
  std::vector<std::string> Percents(int row) const { return Cells(row, COL_PERCENT); }
  std::string LastPercent(int row) const {
    const std::vector<std::string> texts = Percents(row);
    return texts.empty() ? "" : texts.back();
  }
  std::string LastStatus(int row) const {
    const std::vector<std::string> texts = Statuses(row);
    return texts.empty() ? "" : texts.back();
  }
  // The colour the row had when its last status text was written.
  uint32_t LastColour(int row) const {
    uint32_t colour = 0;
    for (const ListChange& change : Changes())
      if (change.m_Row == row && change.m_Column == -1) colour = change.m_Colour;
    return colour;
  }

 private:
  mutable std::mutex m_Lock;
  std::vector<ListChange> m_Changes;
};

// Bytes 0, 1, 2, ... with a seed so that two images never look alike.
inline std::vector<uint8_t> Pattern(size_t length, uint8_t seed) {
  std::vector<uint8_t> bytes(length);
  for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
  return bytes;
}

inline size_t CountOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// Position of part in text (npos when missing), for order checks.
inline size_t Where(const std::string& text, const std::string& part, size_t from = 0) {
  return text.find(part, from);
}

class UpgradeFixture : public ::testing::Test {
 protected:
  // Program time runs this many times faster than real time in both peers.
  // Fast enough for a whole pass in about a second, slow enough that the
  // protocol's shortest time-outs (3 s) leave tens of real milliseconds on a
  // busy machine.
  static constexpr double TIME_SCALE = 50;

  void SetUp() override {
    UseScale(TIME_SCALE);
    // The engine's log goes to this test's own directory.
    const char* tmp = getenv("TMPDIR");
    m_HadTmpDir = tmp != nullptr;
    if (tmp) m_OldTmpDir = tmp;
    setenv("TMPDIR", m_Dir.Path().c_str(), 1);
    m_Port = testsupport::FreePort();
    m_SimOptions.m_Port = m_Port;
    m_SimOptions.m_InstallMs = 1000;
    m_SimOptions.m_RestartMs = 3000;
  }

  void TearDown() override {
    m_Engine.reset();
    if (m_Sim) m_Sim->Stop();
    if (m_HadTmpDir)
      setenv("TMPDIR", m_OldTmpDir.c_str(), 1);
    else
      unsetenv("TMPDIR");
  }

  // Long waits (minutes of program time) run faster still.
  void UseScale(double scale) {
    Clock::SetScale(scale);
    m_SimOptions.m_TimeScale = scale;
  }

  void StartSim() {
    m_Sim = std::make_unique<GatewaySim>(m_SimOptions);
    ASSERT_TRUE(m_Sim->Start());
  }

  // An engine aimed at the simulator, as a Check would leave it.
  UpgradeEngine& MakeEngine() {
    m_Engine = std::make_unique<UpgradeEngine>(&m_List, &m_Table);
    m_Engine->m_RouterPort = m_Port;
    const uint8_t loopback[4] = {127, 0, 0, 1};
    memcpy(m_Engine->m_RouterIp, loopback, 4);
    memcpy(m_Engine->m_RouterMac, m_SimOptions.m_Mac, 6);
    return *m_Engine;
  }

  // Writes a package of the kind and loads it into the table as selected.
  void AddPackage(ModuleKind kind, const std::vector<PackageUnit>& units) {
    PackagePlan plan;
    plan.m_Kind = kind;
    plan.m_Version = "9.9.9.9";
    plan.m_Units = units;
    const std::string path = m_Dir.File(std::string("pkg") + std::to_string(kind) + ".bin");
    std::string reason;
    ASSERT_TRUE(WritePackageFile(plan, path, &reason)) << reason;
    ModuleEntry& entry = m_Table[kind];
    entry.m_Package.m_Path = path;
    entry.m_Package.m_Loaded = false;
    ASSERT_TRUE(entry.m_Package.Load()) << path;
    entry.m_VersionMatch = 1;
  }
  void AddPackage(ModuleKind kind, size_t length, uint32_t address = 0x00100000) {
    AddPackage(kind, {PackageUnit{address, Pattern(length, static_cast<uint8_t>(kind * 40 + 1))}});
  }

  // A unit's data as the package holds it (router kinds carry their kind
  // bits inside the data).
  std::vector<uint8_t> UnitBytes(ModuleKind kind, size_t unit = 0) const {
    const UpgradePackage& package = m_Table[kind].m_Package;
    const uint8_t* data = package.UnitData(unit);
    return std::vector<uint8_t>(data, data + package.Extent(unit).m_Length);
  }

  std::vector<std::string> EventNames() const {
    std::vector<std::string> names;
    for (const SimEvent& event : m_Sim->Events()) names.push_back(event.m_Name);
    return names;
  }
  std::string LastEvent() const {
    const std::vector<std::string> names = EventNames();
    return names.empty() ? "" : names.back();
  }
  size_t EventCount(const std::string& name) const {
    size_t count = 0;
    for (const SimEvent& event : m_Sim->Events()) count += event.m_Name == name;
    return count;
  }
  // Index of the first event of that name at or after from (-1 when none).
  int EventIndex(const std::string& name, int from = 0) const {
    const std::vector<std::string> names = EventNames();
    for (size_t i = static_cast<size_t>(from); i < names.size(); ++i)
      if (names[i] == name) return static_cast<int>(i);
    return -1;
  }

  std::string Log() const { return m_Engine->m_Log.Pending(); }
  std::string LogFile() const { return testsupport::ReadText(m_Dir.File(UpgradeLog::FILE_NAME)); }

  bool m_HadTmpDir = false;
  std::string m_OldTmpDir;
  testsupport::TempDir m_Dir;
  int m_Port = 0;
  SimOptions m_SimOptions;
  std::unique_ptr<GatewaySim> m_Sim;
  RecordingList m_List;
  ModuleTable m_Table;
  std::unique_ptr<UpgradeEngine> m_Engine;
};

// Status texts by id, as the rows show them.
inline std::string Text(int id) { return LoadStringId(id); }

}  // namespace upgradetest
