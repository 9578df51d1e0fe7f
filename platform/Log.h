#pragma once
// The library's one log function and its replaceable sink.
//
// Every condition of data, connection or server that the library reports is a
// single line "<operation> : <text>", where the operation is the C++ qualified
// name of the function that noticed it (for example
// "ORVDataArray::parseDataArray"). The default sink writes the line to stderr
// with the time and the process id; tests install their own sink and assert on
// the exact texts.

#include <functional>
#include <string>
#include <string_view>

namespace orv {

// Receives the operation and the text separately, so a capturing sink can
// compare either; `formatLogLine` joins them the way the default sink prints.
using LogSink = std::function<void(std::string_view operation, std::string_view text)>;

// Writes "<operation> : <text>" through the current sink. Thread-safe.
void log(std::string_view operation, std::string_view text);

// Replaces the sink and returns the previous one. An empty function restores
// the default stderr sink.
LogSink setLogSink(LogSink sink);

// "<operation> : <text>"
std::string formatLogLine(std::string_view operation, std::string_view text);

// The default sink: "<UTC time> [pid] <operation> : <text>\n" on stderr.
void stderrLogSink(std::string_view operation, std::string_view text);

}  // namespace orv
