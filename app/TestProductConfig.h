// A product entry with fixed data, for the test wizard.
#pragma once

#include <string>

#include "app/ProductConfig.h"

class TestProductConfig : public ProductConfig {
 public:
  TestProductConfig(std::wstring id, std::wstring displayName, bool detected, bool selected)
      : id_(std::move(id)), displayName_(std::move(displayName)), detected_(detected), selected_(selected) {}

  std::wstring GetProductId() const override { return id_; }
  std::wstring GetSubProductIdDetected() const override { return {}; }
  std::wstring GetProductDisplayName() const override { return displayName_; }
  bool IsDetected() const override { return detected_; }
  bool IsSelected() const override { return selected_; }
  void SetSelected(bool selected) override { selected_ = selected; }
  int GetPriority() const override { return 50; }

 private:
  std::wstring id_;
  std::wstring displayName_;
  bool detected_;
  bool selected_;
};
