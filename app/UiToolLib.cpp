// The product list: scripts of the working directory become products sorted by priority; the
// selected ones are removed in list order and the run's outcome is read from Status.
#include "app/UiToolLib.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "app/Product.h"
#include "app/RunRecord.h"
#include "base/ChangeJournal.h"
#include "base/UniqueHandle.h"
#include "core/RunDeadline.h"
#include "core/Status.h"
#include "logging/QvBrelLogging.h"
#include "sysops/QvService.h"

namespace {

std::wstring GetShortPath(const std::wstring& path, DWORD bufferLength) {
  std::wstring buffer;
  for (;;) {
    buffer.resize(bufferLength);
    const DWORD result = ::GetShortPathNameW(path.c_str(), buffer.data(), bufferLength);
    if (result == 0) {
      QV_BREL_LOG(QV_ERROR, L"Failed GetShortPathNameW, error: %d", ::GetLastError());
      return {};
    }
    // A result above the buffer length is the size needed, terminator included.
    if (result <= bufferLength) {
      buffer.resize(result);
      QV_BREL_LOG(QV_INFO, L"Shortened path: '%s' has been converted to '%s'", path.c_str(), buffer.c_str());
      return buffer;
    }
    bufferLength = result;
  }
}

}  // namespace

std::wstring GetShortPath(const std::wstring& path) { return GetShortPath(path, MAX_PATH); }

UiToolLib::UiToolLib(std::wstring directory) : directory_(std::move(directory)) {}

UiToolLib::~UiToolLib() = default;

std::vector<std::wstring> UiToolLib::FindScripts() {
  std::vector<std::wstring> scripts;
  if (directory_.empty()) return scripts;
  WIN32_FIND_DATAW entry{};
  UniqueFindHandle find(::FindFirstFileW((directory_ + L"\\*.lua").c_str(), &entry));
  if (!find) return scripts;
  do {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    scripts.push_back(directory_ + L"\\" + entry.cFileName);
  } while (::FindNextFileW(find.get(), &entry));
  return scripts;
}

ProductList UiToolLib::DetectProducts() {
  Status::Instance().Reset();
  ProductList products;
  const std::vector<std::wstring> scripts = FindScripts();
  if (scripts.empty()) {
    QV_BREL_LOG(QV_WARNING, L"Could not find any scripts from %s", directory_.c_str());
    return products;
  }
  for (const std::wstring& script : scripts) {
    auto product = std::make_shared<Product>();
    // Libraries and broken scripts end here.
    if (product->Initialize(script)) products.push_back(std::move(product));
  }
  std::stable_sort(products.begin(), products.end(), [](const auto& left, const auto& right) {
    return left->GetPriority() < right->GetPriority();
  });
  return products;
}

RemovalStatus UiToolLib::RemoveProducts(const ProductList& products) {
  // What scripts reported during detection does not count.
  Status& status = Status::Instance();
  status.Reset();
  for (const auto& entry : products) {
    if (!entry->IsSelected()) continue;
    auto product = std::dynamic_pointer_cast<Product>(entry);
    if (!product) continue;
    const RunDeadline& deadline = RunDeadline::Instance();
    if (deadline.Passed()) {
      // Out of time: a product not started is left whole rather than half removed.
      QV_BREL_LOG(QV_WARNING, L"Skipping product %s: the run deadline of %u minutes has passed",
                  product->GetProductId().c_str(), deadline.Minutes());
      product->MarkSkipped();
      status.SetFailed();
      continue;
    }
    const std::wstring id = product->GetProductId();
    const std::wstring subId = product->GetSubProductIdDetected();
    const std::wstring name = product->GetProductDisplayName();
    QV_BREL_LOG(QV_INFO, L"Removing product: %s %s (%s)", id.c_str(), subId.c_str(), name.c_str());
    ChangeJournal& journal = ChangeJournal::Instance();
    journal.SetProduct(id);
    const unsigned failuresBefore = status.FailureCount();
    const ULONGLONG started = ::GetTickCount64();
    // The result does not decide the outcome: failures reach it through Status.
    product->Remove();
    QvService::ReleaseKept();
    journal.SetProduct({});
    const char* outcome = journal.Planning()                       ? "planned"
                          : status.FailureCount() > failuresBefore ? "failed"
                                                                   : "removed";
    RunRecord::Instance().SetOutcome(id, outcome, static_cast<double>(::GetTickCount64() - started) / 1000.0);
  }
  if (status.IsFailed()) return RemovalFailed;
  if (status.IsRebootNeeded()) return RemovalNeedsRestart;
  return RemovalSucceeded;
}
