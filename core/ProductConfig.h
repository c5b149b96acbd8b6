// One entry of the product list as the UI and the command line see it.
#pragma once

#include <memory>
#include <string>
#include <vector>

class ProductConfig {
 public:
  virtual ~ProductConfig() = default;
  virtual std::wstring GetProductId() const = 0;
  virtual std::wstring GetSubProductIdDetected() const = 0;
  virtual std::wstring GetProductDisplayName() const = 0;
  virtual bool IsDetected() const = 0;
  virtual bool IsSelected() const = 0;
  virtual void SetSelected(bool selected) = 0;
  virtual int GetPriority() const = 0;
};

// Ordered by ascending priority once detection has sorted it.
using ProductList = std::vector<std::shared_ptr<ProductConfig>>;
