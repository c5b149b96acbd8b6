// A product entry with fixed data, shown only by the test wizard.
#pragma once

#include <string>

#include "core/ProductConfig.h"

class TestProductConfig : public ProductConfig {
 public:
  TestProductConfig(std::wstring productId, std::wstring displayName, bool detected, bool selected);

  std::wstring GetProductId() const override;
  // Always empty.
  std::wstring GetSubProductIdDetected() const override;
  std::wstring GetProductDisplayName() const override;
  bool IsDetected() const override;
  bool IsSelected() const override;
  void SetSelected(bool selected) override;
  // Always 50.
  int GetPriority() const override;

 private:
  std::wstring productId_;
  std::wstring displayName_;
  bool detected_;
  bool selected_;
};
