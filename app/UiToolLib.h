// The product list: finding the uninstall scripts, detecting products, removing the selected ones.
#pragma once

#include <string>
#include <vector>

#include "core/ProductConfig.h"

// Removal outcome of RemoveProducts.
enum RemovalStatus : int {
  RemovalSucceeded = 0,
  RemovalNeedsRestart = 1,
  RemovalFailed = 2,
};

// The short (8.3) form of an existing path; empty on failure (logged).
std::wstring GetShortPath(const std::wstring& path);

class UiToolLib {
 public:
  explicit UiToolLib(std::wstring directory);
  virtual ~UiToolLib();
  // Full paths of the directory's *.lua files in enumeration order; empty when none.
  virtual std::vector<std::wstring> FindScripts();

  // Valid product scripts sorted by ascending priority (stable); empty when none.
  ProductList DetectProducts();
  // Runs CleanupProduct of every selected product in list order.
  RemovalStatus RemoveProducts(const ProductList& products);

 private:
  std::wstring directory_;
};
