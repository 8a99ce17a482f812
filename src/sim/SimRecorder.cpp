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
  uint64_t start = address;
  uint64_t end = start + length;
  // The first run that may touch [start, end): the one before start, if it
  // reaches start, else the first one from start on.
  auto first = m_Memory.upper_bound(address);
  if (first != m_Memory.begin()) {
    auto before = std::prev(first);
    if (before->first + static_cast<uint64_t>(before->second.size()) >= start) first = before;
  }
  auto last = first;
  while (last != m_Memory.end() && last->first <= end) {
    start = std::min<uint64_t>(start, last->first);
    end = std::max<uint64_t>(end, last->first + static_cast<uint64_t>(last->second.size()));
    ++last;
  }
  std::vector<uint8_t> merged(end - start);
  for (auto run = first; run != last; ++run)
    std::copy(run->second.begin(), run->second.end(), merged.begin() + (run->first - start));
  std::copy(data, data + length, merged.begin() + (address - start));
  m_Memory.erase(first, last);
  m_Memory.emplace(static_cast<uint32_t>(start), std::move(merged));
  m_MemoryDirty = true;
}

void SimRecorder::FlushMemory() {
  std::lock_guard<std::mutex> hold(m_Lock);
  if (m_Dir.empty() || !m_MemoryDirty) return;
  std::set<std::string> written;
  for (const auto& [address, bytes] : m_Memory) {
    const std::string name = MemoryFileName(address);
    WriteBytes(m_Dir + "/" + name, bytes);
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
  return m_Memory;
}
