// What the simulator received and did: the events, the transcript (one line
// per request and answer, also on the terminal unless quiet), the router
// images and the wireless memory written by the downloader. With a record
// directory it also writes them as files:
//   transcript.txt            one line per request and answer
//   router-image-<n>.bin      each router image, n from 1
//   wireless-<hexaddr>.bin    each contiguous run of written memory
// Safe to read from any thread while the serving thread records.
#pragma once

#include <cstdint>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "sim/GatewaySim.h"

class SimRecorder {
 public:
  SimRecorder(const std::string& dir, bool quiet);

  // Creates the record directory and the transcript file (nothing to do
  // without a directory).
  bool Open(std::string* error);

  // A request: one event and one transcript line "<channel> <- <name> <detail>".
  // Returns the event's index for Answer or Silent.
  size_t Request(const std::string& channel, const std::string& name, const std::string& detail);
  // Its answer: marks the event answered, line "<channel> -> <name> <text>".
  void Answer(size_t index, const std::string& text);
  // A request deliberately left unanswered: line "<channel> -- <name> not answered (<why>)".
  void Silent(size_t index, const std::string& why);
  // A line that is neither, e.g. the module coming back from a restart.
  void Note(const std::string& text);

  void RouterImage(const std::vector<uint8_t>& image);
  // Stores written bytes over whatever was written there before. Costs the
  // length of the write, whatever was written before it.
  void WriteMemory(uint32_t address, const uint8_t* data, size_t length);
  // Brings the memory files up to date.
  void FlushMemory();

  std::vector<SimEvent> Events() const;
  std::vector<std::string> Transcript() const;
  std::vector<std::vector<uint8_t>> RouterImages() const;
  // The written memory merged into runs: pieces that touch or overlap make
  // one run, keyed by its start address.
  std::map<uint32_t, std::vector<uint8_t>> Memory() const;

 private:
  // The written memory as the writes left it: pieces that do not overlap,
  // keyed by address (64-bit: a piece cut off a write that crosses the top
  // of the address space starts beyond it), none longer than the write that
  // made it. Runs are only merged when read.
  using Pieces = std::map<uint64_t, std::vector<uint8_t>>;
  // The runs, each as the range of pieces it is made of; caller holds m_Lock.
  std::vector<std::pair<Pieces::const_iterator, Pieces::const_iterator>> Runs() const;
  void Line(const std::string& line);  // caller holds m_Lock

  const std::string m_Dir;
  const bool m_Quiet;
  mutable std::mutex m_Lock;
  std::ofstream m_TranscriptFile;
  std::vector<SimEvent> m_Events;
  std::vector<std::string> m_Transcript;
  std::vector<std::vector<uint8_t>> m_Images;
  Pieces m_Memory;
  std::set<std::string> m_MemoryFiles;  // written by the last flush
  bool m_MemoryDirty = false;
};
