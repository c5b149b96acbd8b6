// Text to the runner's standard output and error: UTF-16 to a console window, UTF-8 to a file or
// pipe (the sandbox's logon command and the tests redirect them).
#pragma once

#include <string>

namespace QvKit {

void PrintOut(const std::wstring& text);
void PrintError(const std::wstring& text);

}  // namespace QvKit
