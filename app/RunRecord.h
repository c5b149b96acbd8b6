// What one run did, for its report: when and how it ran, the product list with each product's
// outcome and time, and the restart. The changes themselves stay in the change journal.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "core/ProductConfig.h"

struct ProductRun {
  std::wstring id;
  std::wstring subProduct;
  std::wstring name;
  int priority = 0;
  bool detected = false;
  bool selected = false;
  // "removed", "failed", "not-selected", "planned" or "skipped" (selected, never started).
  std::string outcome = "not-selected";
  double seconds = 0;
};

class RunRecord {
 public:
  static RunRecord& Instance();

  // "silent", "wizard" or "plan"; the start time is taken now.
  void Start(const std::string& mode);
  // The list as it stands (selection included); outcomes already given are kept.
  void SetProducts(const ProductList& products);
  void SetOutcome(const std::wstring& id, const std::string& outcome, double seconds);
  void SetRestart(bool needed, bool triggered);

  std::string Mode() const;
  FILETIME Started() const;
  bool RestartNeeded() const;
  bool RestartTriggered() const;
  std::vector<ProductRun> Products() const;
  // Forgets everything (tests).
  void Clear();

 private:
  RunRecord() = default;
  mutable std::mutex mutex_;
  std::string mode_ = "silent";
  FILETIME started_{};
  bool restartNeeded_ = false;
  bool restartTriggered_ = false;
  std::vector<ProductRun> products_;
};
