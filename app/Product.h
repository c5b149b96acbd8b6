// A product of the list backed by one uninstall script, which it owns with its Lua state.
#pragma once

#include <memory>
#include <string>

#include "core/ProductConfig.h"

class LuaUninstallScript;

class Product : public ProductConfig {
 public:
  Product();
  Product(const Product&) = delete;
  Product& operator=(const Product&) = delete;
  ~Product() override;

  std::wstring GetProductId() const override;
  std::wstring GetSubProductIdDetected() const override;
  std::wstring GetProductDisplayName() const override;
  bool IsDetected() const override;
  bool IsSelected() const override;
  void SetSelected(bool selected) override;
  // The priority the script reported; 50 without a usable GetPriority.
  int GetPriority() const override;

  // Loads the script (a wide path, handed to Lua in UTF-8) and asks it for its id,
  // display name, detection and variant. False when it does not load or is a library.
  virtual bool Initialize(const std::wstring& scriptPath);
  // Runs the script's CleanupProduct with the take-ownership and restore privileges enabled.
  // False without a script or when CleanupProduct does not return true.
  virtual bool Remove();
  virtual std::wstring GetScriptName() const;
  // The run's deadline passed before the product's removal started, so it was not attempted.
  void MarkSkipped() { skipped_ = true; }
  bool IsSkipped() const { return skipped_; }

 private:
  std::wstring productId_;
  std::wstring subProductIdDetected_;
  std::wstring displayName_;
  std::wstring scriptName_;
  bool detected_ = false;
  bool selected_ = false;
  bool skipped_ = false;
  std::unique_ptr<LuaUninstallScript> script_;
};
