// The run's report (--report): one JSON document (schema 1, UTF-8) made from the run record and the
// change journal, written at the end of every run.
#pragma once

#include <string>

namespace RunReport {

// The document: exitCode is what the process returns, describedExitCode the tool's own code.
std::string Document(int exitCode, int describedExitCode);
// Writes the document to path (replaced whole, never through a link). A report that cannot be
// written is an error line in the log; the run's outcome stays as it is.
void Write(const std::wstring& path, int exitCode, int describedExitCode);

}  // namespace RunReport
