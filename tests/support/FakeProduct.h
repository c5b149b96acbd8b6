// Test machinery: a product as the driver and the UI see it, without a script behind it.
#pragma once

#include <string>
#include <utility>

#include "core/ProductConfig.h"

namespace QvTest {

class FakeProduct : public ProductConfig {
 public:
  explicit FakeProduct(std::wstring id, std::wstring name = {}, bool detected = true, bool selected = false)
      : id_(std::move(id)), name_(std::move(name)), detected_(detected), selected_(selected) {}
  std::wstring GetProductId() const override { return id_; }
  std::wstring GetSubProductIdDetected() const override { return {}; }
  std::wstring GetProductDisplayName() const override { return name_; }
  bool IsDetected() const override { return detected_; }
  bool IsSelected() const override { return selected_; }
  void SetSelected(bool selected) override { selected_ = selected; }
  int GetPriority() const override { return 50; }

 private:
  std::wstring id_, name_;
  bool detected_, selected_;
};

}  // namespace QvTest
