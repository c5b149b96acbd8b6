// Checks the `products` option against the product scripts found, and prints the help text.
#pragma once

#include <set>
#include <string>

#include "core/ProductConfig.h"

class ICmdLineManager {
 public:
  virtual ~ICmdLineManager() = default;
  // False (logged and printed) when an id of the option names no product; otherwise the listed
  // products are marked selected.
  virtual bool ValidateProducts(ProductList& products) = 0;
};

class CmdLineManager : public ICmdLineManager {
 public:
  bool ValidateProducts(ProductList& products) override;
};

// The help lines with the product ids ("a|b") and language codes ("bg|cs|…") filled in.
std::wstring FormatHelp(const std::wstring& productIds, const std::string& languages);
// Prints the help for the products of the list and the languages of the settings store.
void PrintHelp(const ProductList& products);
