// What a stage of the upgrade pass shows of its work on the row it runs on:
// status texts (black, as every text is while a stage runs), the "%" cell,
// and the bytes of an image on its way. The engine shows them in the module
// list, writes each status to the log and tells its front end.
#pragma once

#include <cstdint>
#include <string>

class IStageView {
 public:
  virtual ~IStageView() = default;
  virtual void ShowStatus(const std::string& text) = 0;
  // The text of a string id; an id without a text shows nothing.
  virtual void ShowStatusId(int id) = 0;
  virtual void ShowProgress(int percent) = 0;
  // The share of done in total, in whole percent (100 when total is 0).
  virtual void ShowProgress(uint64_t done, uint64_t total) = 0;
  // A transfer of total bytes begins (the "%" cell stays as it is), and done
  // of them have gone (the "%" follows).
  virtual void StartTransfer(uint64_t total) = 0;
  virtual void ShowTransfer(uint64_t done, uint64_t total) = 0;
};
