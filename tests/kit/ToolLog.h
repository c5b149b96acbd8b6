// The part of the tool's log file one run wrote. The file rotates (base.log becomes base.1.log),
// so a run is found by the bytes that ended the file before it started, not by an offset.
#pragma once

#include <string>

namespace QvKit {

// Where an elevated run of the tool logs: %ProgramData%\Quorvel\Log\UninstallationTool.
std::wstring ToolLogFile();

// The last bytes of the current generation: what the next run's records follow.
std::string LogMark(const std::string& current);

// What was written after `mark`, given the generation before the current one (`older`, empty
// when there is none) and the current one. An empty mark (no log yet) gives the current
// generation; a mark found in neither (two rotations since) gives both generations.
std::string WrittenSince(const std::string& mark, const std::string& older, const std::string& current);

// The same for the files on disk: the mark of the current log file, and what follows it now.
std::string MarkToolLog();
std::string ToolLogSince(const std::string& mark);

}  // namespace QvKit
