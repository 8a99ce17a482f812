#include "sim/SimRecorder.h"

#include <cstdio>
#include <filesystem>

namespace {

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string MemoryFileName(uint32_t address) {
  char name[32];
  std::snprintf(name, sizeof name, "wireless-%08x.bin", address);
  return name;
}

}  // namespace

SimRecorder::SimRecorder(const std::string& dir, bool quiet) : m_Dir(dir), m_Quiet(quiet) {}

bool SimRecorder::Open(std::string* error) {
  if (m_Dir.empty()) return true;
  std::error_code code;
  std::filesystem::create_directories(m_Dir, code);
  m_TranscriptFile.open(m_Dir + "/transcript.txt", std::ios::binary | std::ios::trunc);
  if (!m_TranscriptFile) {
    if (error) *error = "cannot write " + m_Dir + "/transcript.txt";
    return false;
  }
  return true;
}

size_t SimRecorder::Request(const std::string& channel, const std::string& name,
                            const std::string& detail) {
  std::lock_guard<std::mutex> hold(m_Lock);
  SimEvent event;
  event.m_Channel = channel;
  event.m_Name = name;
  event.m_Detail = detail;
  m_Events.push_back(event);
  Line(channel + " <- " + name + (detail.empty() ? "" : " " + detail));
  return m_Events.size() - 1;
}

void SimRecorder::Answer(size_t index, const std::string& text) {
  std::lock_guard<std::mutex> hold(m_Lock);
  if (index >= m_Events.size()) return;
  SimEvent& event = m_Events[index];
  event.m_Answered = true;
  Line(event.m_Channel + " -> " + event.m_Name + (text.empty() ? "" : " " + text));
}

void SimRecorder::Silent(size_t index, const std::string& why) {
  std::lock_guard<std::mutex> hold(m_Lock);
  if (index >= m_Events.size()) return;
  const SimEvent& event = m_Events[index];
  Line(event.m_Channel + " -- " + event.m_Name + " not answered (" + why + ")");
}

void SimRecorder::Note(const std::string& text) {
  std::lock_guard<std::mutex> hold(m_Lock);
  Line("-- " + text);
}

void SimRecorder::Line(const std::string& line) {
  m_Transcript.push_back(line);
  if (m_TranscriptFile.is_open()) {
    m_TranscriptFile << line << '\n';
    m_TranscriptFile.flush();
  }
  if (!m_Quiet) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
  }
}

void SimRecorder::RouterImage(const std::vector<uint8_t>& image) {
  std::lock_guard<std::mutex> hold(m_Lock);
  m_Images.push_back(image);
  if (!m_Dir.empty())
    WriteBytes(m_Dir + "/router-image-" + std::to_string(m_Images.size()) + ".bin", image);
}

void SimRecorder::WriteMemory(uint32_t address, const uint8_t* data, size_t length) {
  if (length == 0) return;
  std::lock_guard<std::mutex> hold(m_Lock);
  const uint64_t start = address;
  const uint64_t end = start + length;
  // Cuts what lies under [start, end) out of the pieces: a piece that starts
  // before keeps its head, one that reaches beyond keeps its tail. A piece is
  // never longer than a write, so the copying is bounded by the write's length.
  auto next = m_Memory.lower_bound(start);
  if (next != m_Memory.begin()) {
    auto before = std::prev(next);
    const uint64_t beforeEnd = before->first + before->second.size();
    if (beforeEnd > start) {
      if (beforeEnd > end)
        m_Memory.emplace_hint(next, end, std::vector<uint8_t>(before->second.end() - (beforeEnd - end), before->second.end()));
      before->second.resize(start - before->first);
    }
  }
  while (next != m_Memory.end() && next->first < end) {
    const uint64_t nextEnd = next->first + next->second.size();
    if (nextEnd > end) {
      std::vector<uint8_t> tail(next->second.end() - (nextEnd - end), next->second.end());
      next = m_Memory.erase(next);
      m_Memory.emplace_hint(next, end, std::move(tail));
      break;
    }
    next = m_Memory.erase(next);
  }
  m_Memory.emplace_hint(next, start, std::vector<uint8_t>(data, data + length));
  m_MemoryDirty = true;
}

std::vector<std::pair<SimRecorder::Pieces::const_iterator, SimRecorder::Pieces::const_iterator>>
SimRecorder::Runs() const {
  std::vector<std::pair<Pieces::const_iterator, Pieces::const_iterator>> runs;
  uint64_t runEnd = 0;
  for (auto piece = m_Memory.begin(); piece != m_Memory.end(); ++piece) {
    if (runs.empty() || piece->first != runEnd) runs.push_back({piece, piece});
    runs.back().second = std::next(piece);
    runEnd = piece->first + piece->second.size();
  }
  return runs;
}

void SimRecorder::FlushMemory() {
  std::lock_guard<std::mutex> hold(m_Lock);
  if (m_Dir.empty() || !m_MemoryDirty) return;
  std::set<std::string> written;
  for (const auto& [first, last] : Runs()) {
    // Every run starts where a write started, so its address fits 32 bits.
    const std::string name = MemoryFileName(static_cast<uint32_t>(first->first));
    std::ofstream out(m_Dir + "/" + name, std::ios::binary | std::ios::trunc);
    for (auto piece = first; piece != last; ++piece)
      out.write(reinterpret_cast<const char*>(piece->second.data()), static_cast<std::streamsize>(piece->second.size()));
    written.insert(name);
  }
  // Runs that merged into others leave stale files behind.
  std::error_code ignored;
  for (const std::string& name : m_MemoryFiles)
    if (!written.count(name)) std::filesystem::remove(m_Dir + "/" + name, ignored);
  m_MemoryFiles = written;
  m_MemoryDirty = false;
}

std::vector<SimEvent> SimRecorder::Events() const {
  std::lock_guard<std::mutex> hold(m_Lock);
  return m_Events;
}

std::vector<std::string> SimRecorder::Transcript() const {
  std::lock_guard<std::mutex> hold(m_Lock);
  return m_Transcript;
}

std::vector<std::vector<uint8_t>> SimRecorder::RouterImages() const {
  std::lock_guard<std::mutex> hold(m_Lock);
  return m_Images;
}

std::map<uint32_t, std::vector<uint8_t>> SimRecorder::Memory() const {
  std::lock_guard<std::mutex> hold(m_Lock);
  std::map<uint32_t, std::vector<uint8_t>> memory;
  for (const auto& [first, last] : Runs()) {
    std::vector<uint8_t>& run = memory[static_cast<uint32_t>(first->first)];
    for (auto piece = first; piece != last; ++piece) run.insert(run.end(), piece->second.begin(), piece->second.end());
  }
  return memory;
}
