// The run's record under one mutex.
#include "app/RunRecord.h"

RunRecord& RunRecord::Instance() {
  static RunRecord record;
  return record;
}

void RunRecord::Start(const std::string& mode) {
  std::lock_guard lock(mutex_);
  mode_ = mode;
  ::GetSystemTimeAsFileTime(&started_);
}

void RunRecord::SetProducts(const ProductList& products) {
  std::lock_guard lock(mutex_);
  std::vector<ProductRun> runs;
  for (const auto& product : products) {
    ProductRun run;
    run.id = product->GetProductId();
    run.subProduct = product->GetSubProductIdDetected();
    run.name = product->GetProductDisplayName();
    run.priority = product->GetPriority();
    run.detected = product->IsDetected();
    run.selected = product->IsSelected();
    run.outcome = run.selected ? "skipped" : "not-selected";
    for (const ProductRun& known : products_)
      if (known.id == run.id && known.outcome != "skipped" && known.outcome != "not-selected") {
        run.outcome = known.outcome;
        run.seconds = known.seconds;
      }
    runs.push_back(std::move(run));
  }
  products_ = std::move(runs);
}

void RunRecord::SetOutcome(const std::wstring& id, const std::string& outcome, double seconds) {
  std::lock_guard lock(mutex_);
  for (ProductRun& run : products_)
    if (run.id == id) {
      run.outcome = outcome;
      run.seconds = seconds;
      return;
    }
}

void RunRecord::SetRestart(bool needed, bool triggered) {
  std::lock_guard lock(mutex_);
  restartNeeded_ = needed;
  restartTriggered_ = triggered;
}

std::string RunRecord::Mode() const {
  std::lock_guard lock(mutex_);
  return mode_;
}

FILETIME RunRecord::Started() const {
  std::lock_guard lock(mutex_);
  return started_;
}

bool RunRecord::RestartNeeded() const {
  std::lock_guard lock(mutex_);
  return restartNeeded_;
}

bool RunRecord::RestartTriggered() const {
  std::lock_guard lock(mutex_);
  return restartTriggered_;
}

std::vector<ProductRun> RunRecord::Products() const {
  std::lock_guard lock(mutex_);
  return products_;
}

void RunRecord::Clear() {
  std::lock_guard lock(mutex_);
  mode_ = "silent";
  started_ = {};
  restartNeeded_ = false;
  restartTriggered_ = false;
  products_.clear();
}
