// Product validation against the command line, and the help text.
#include "app/CmdLineManager.h"

#include <vector>

#include "core/ConsolePrinter.h"
#include "core/QvOptionParser.h"
#include "core/Settings.h"
#include "logging/QvBrelLogging.h"

namespace {

constexpr wchar_t kHelpFormat[] =
    L"Quorvel uninstallation tool optional parameters:\n"
    L"\t--help|-h                    shows this help.\n"
    L"\t--silent|-s                  silent mode, runs without GUI.\n"
    L"\t--restart|-r                 restarts the computer if needed for silent mode.\n"
    L"\t--products|-p <product_ids>  comma separated list of products to remove, where <product_id> can be "
    L"one "
    L"of the following:\n"
    L"\t                             %ls.\n"
    L"\t--language|-l <lang_id>      language to use, where <lang_id> can be one of the following "
    L"(automatically "
    L"detected from the environment if not specified):\n"
    L"\t                             %hs.\n"
    L"\t--report <file>              writes a JSON report of the run to <file>, an absolute path in an "
    L"existing folder.\n"
    L"\t--plan                       with --silent: reports what the removal would change and changes "
    L"nothing.\n"
    L"\t--deadline <minutes>         ends the run after <minutes> (1 to 10080): the running script stops, "
    L"later products are skipped, exit code 1.\n"
    L"\t--msi-exit-codes             returns Windows Installer exit codes: 0 as 0, 99 as 3010 (1641 when the "
    L"restart was started), 2 as 1602, 4 as 1618, 1 as 1603, 3 as 5.\n"
    L"\t--require-undo               skips a registry deletion whose undo export fails; its product fails.\n";

std::vector<std::wstring> SplitAtCommas(const std::wstring& value) {
  std::vector<std::wstring> items;
  size_t start = 0;
  for (;;) {
    const size_t comma = value.find(L',', start);
    items.push_back(value.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start));
    if (comma == std::wstring::npos) return items;
    start = comma + 1;
  }
}

std::shared_ptr<ProductConfig> FindById(const ProductList& products, const std::wstring& id) {
  for (const auto& product : products)
    if (product->GetProductId() == id) return product;
  return nullptr;
}

}  // namespace

bool CmdLineManager::ValidateProducts(ProductList& products) {
  QvOptionParser& options = QvOptionParser::Instance();
  if (!options.IsSet(L"products")) return true;
  const std::vector<std::wstring> items = SplitAtCommas(options.GetValue(L"products"));
  std::vector<std::wstring> invalid;
  for (const std::wstring& item : items)
    if (!FindById(products, item)) invalid.push_back(item);
  if (!invalid.empty()) {
    std::wstring joined;
    for (size_t i = 0; i < invalid.size(); ++i) joined += (i == 0 ? L"" : L",") + invalid[i];
    QV_BREL_LOG(QV_ERROR, L"Invalid products from command line: %ls", joined.c_str());
    ConsolePrinter::Instance().Print(L"Invalid products selected %ls", joined.c_str());
    return false;
  }
  for (const std::wstring& item : items) FindById(products, item)->SetSelected(true);
  return true;
}

std::wstring FormatHelp(const std::wstring& productIds, const std::string& languages) {
  const int length = _scwprintf(kHelpFormat, productIds.c_str(), languages.c_str());
  if (length < 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  _snwprintf(text.data(), text.size(), kHelpFormat, productIds.c_str(), languages.c_str());
  text.resize(static_cast<size_t>(length));
  return text;
}

void PrintHelp(const ProductList& products) {
  std::wstring ids;
  for (size_t i = 0; i < products.size(); ++i) ids += (i == 0 ? L"" : L"|") + products[i]->GetProductId();
  std::string languages;
  bool first = true;
  for (const std::string& code : BrelResLib::Settings::Instance().GetLanguages()) {
    languages += (first ? "" : "|") + code;
    first = false;
  }
  // The printer adds its own line feed after the eight lines.
  ConsolePrinter::Instance().Print(L"%s", FormatHelp(ids, languages).c_str());
}
