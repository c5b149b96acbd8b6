// Fixed product entries for the test wizard.
#include "app/TestProductConfig.h"

#include <utility>

TestProductConfig::TestProductConfig(std::wstring productId, std::wstring displayName, bool detected,
                                     bool selected)
    : productId_(std::move(productId)),
      displayName_(std::move(displayName)),
      detected_(detected),
      selected_(selected) {}

std::wstring TestProductConfig::GetProductId() const { return productId_; }
std::wstring TestProductConfig::GetSubProductIdDetected() const { return {}; }
std::wstring TestProductConfig::GetProductDisplayName() const { return displayName_; }
bool TestProductConfig::IsDetected() const { return detected_; }
bool TestProductConfig::IsSelected() const { return selected_; }
void TestProductConfig::SetSelected(bool selected) { selected_ = selected; }
int TestProductConfig::GetPriority() const { return 50; }
