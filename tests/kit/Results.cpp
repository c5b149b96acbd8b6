#include "tests/kit/Results.h"

#include <algorithm>
#include <cstdio>

#include "base/Utf8.h"
#include "tests/kit/Options.h"

namespace QvKit {

namespace {

std::wstring Seconds(double seconds, int decimals) {
  wchar_t text[64];
  std::swprintf(text, 64, L"%.*f", decimals, seconds);
  return text;
}

// Attribute-safe and text-safe at once; characters XML 1.0 does not allow become U+FFFD.
std::wstring Escape(const std::wstring& text) {
  std::wstring escaped;
  escaped.reserve(text.size());
  for (wchar_t c : text) {
    switch (c) {
      case L'&':
        escaped += L"&amp;";
        break;
      case L'<':
        escaped += L"&lt;";
        break;
      case L'>':
        escaped += L"&gt;";
        break;
      case L'"':
        escaped += L"&quot;";
        break;
      case L'\'':
        escaped += L"&apos;";
        break;
      case L'\t':
        escaped += L"&#9;";
        break;
      case L'\n':
        escaped += L"&#10;";
        break;
      case L'\r':
        escaped += L"&#13;";
        break;
      default:
        escaped.push_back(c < 0x20 || c == 0xFFFE || c == 0xFFFF ? L'\uFFFD' : c);
    }
  }
  return escaped;
}

struct Counts {
  int tests = 0, failures = 0, skipped = 0;
  double seconds = 0;
};

Counts CountOf(const std::vector<Entry>& entries, const std::wstring* suite) {
  Counts counts;
  for (const Entry& entry : entries) {
    if (suite != nullptr && entry.suite != *suite) continue;
    ++counts.tests;
    counts.failures += entry.outcome == Outcome::Fail;
    counts.skipped += entry.outcome == Outcome::Skipped;
    counts.seconds += entry.seconds;
  }
  return counts;
}

std::wstring CountAttributes(const Counts& counts) {
  return L" tests=\"" + std::to_wstring(counts.tests) + L"\" failures=\"" + std::to_wstring(counts.failures) +
         L"\" errors=\"0\" skipped=\"" + std::to_wstring(counts.skipped) + L"\" time=\"" +
         Seconds(counts.seconds, 3) + L"\"";
}

std::wstring Pad(std::wstring text, size_t width) {
  if (text.size() < width) text.append(width - text.size(), L' ');
  return text;
}

}  // namespace

const wchar_t* OutcomeText(Outcome outcome) {
  switch (outcome) {
    case Outcome::Pass:
      return L"PASS";
    case Outcome::Skipped:
      return L"SKIPPED";
    case Outcome::Fail:
      break;
  }
  return L"FAIL";
}

std::string JUnitXml(const std::vector<Entry>& entries) {
  std::wstring xml = L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"qvkit\"" +
                     CountAttributes(CountOf(entries, nullptr)) + L">\n";
  for (const std::wstring suite : {L"units", L"scenarios"}) {
    xml += L"  <testsuite name=\"" + suite + L"\"" + CountAttributes(CountOf(entries, &suite)) + L">\n";
    for (const Entry& entry : entries) {
      if (entry.suite != suite) continue;
      xml += L"    <testcase classname=\"qvkit." + suite + L"\" name=\"" + Escape(entry.name) +
             L"\" time=\"" + Seconds(entry.seconds, 3) + L"\">\n";
      if (entry.outcome == Outcome::Fail)
        xml += L"      <failure message=\"" + Escape(entry.reason) + L"\"/>\n";
      else if (entry.outcome == Outcome::Skipped)
        xml += L"      <skipped message=\"" + Escape(entry.reason) + L"\"/>\n";
      std::wstring out = entry.outcome == Outcome::Pass && !entry.reason.empty() ? entry.reason + L"\n" : L"";
      for (const std::wstring& note : entry.notes) out += note + L"\n";
      if (!out.empty()) xml += L"      <system-out>" + Escape(out) + L"</system-out>\n";
      xml += L"    </testcase>\n";
    }
    xml += L"  </testsuite>\n";
  }
  xml += L"</testsuites>\n";
  return QvText::ToUtf8(xml);
}

std::wstring SummaryTable(const std::vector<Entry>& entries) {
  size_t nameWidth = 4;
  for (const Entry& entry : entries) nameWidth = std::max(nameWidth, entry.name.size());
  std::wstring table =
      Pad(L"Kind", 10) + Pad(L"Name", nameWidth + 2) + Pad(L"Result", 9) + Pad(L"Time", 10) + L"Reason\n";
  for (const Entry& entry : entries) {
    std::wstring reason = entry.reason.empty() ? L"-" : entry.reason;
    std::replace(reason.begin(), reason.end(), L'\n', L' ');
    table += Pad(entry.suite == L"units" ? L"unit" : L"scenario", 10) + Pad(entry.name, nameWidth + 2) +
             Pad(OutcomeText(entry.outcome), 9) + Pad(Seconds(entry.seconds, 1) + L" s", 10) + reason + L"\n";
  }
  const Counts total = CountOf(entries, nullptr);
  table += L"Total: " + std::to_wstring(total.tests) + L" run, " +
           std::to_wstring(total.tests - total.failures - total.skipped) + L" passed, " +
           std::to_wstring(total.failures) + L" failed, " + std::to_wstring(total.skipped) + L" skipped, " +
           Seconds(total.seconds, 1) + L" s\n";
  return table;
}

int ExitCodeOf(const std::vector<Entry>& entries) {
  return CountOf(entries, nullptr).failures == 0 ? kExitAllPassed : kExitSomethingFailed;
}

}  // namespace QvKit
