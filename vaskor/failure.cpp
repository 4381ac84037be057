#include "vaskor/failure.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vaskor {

namespace {

constexpr size_t kReportLimit = 1999;

// Appends `piece` only when the buffer still fits the limit afterwards;
// a piece that does not fit is skipped whole.
void appendIfFits(std::string& buf, std::string_view piece) {
  if (buf.size() + piece.size() <= kReportLimit) buf.append(piece);
}

std::string formatTrace(const std::vector<StackTraceEntry>& trace) {
  std::string out;
  for (const StackTraceEntry& e : trace) {
    size_t start = out.size();
    out += e.filename ? e.filename : "";
    if (e.line > 0) {
      out += '(';
      out += std::to_string(e.line);
      out += ')';
    }
    size_t width = out.size() - start;
    out.append(width < 25 ? 25 - width : 1, ' ');
    out += e.procname ? e.procname : "";
    out += '\n';
  }
  return out;
}

}  // namespace

std::string unhandledReport(const Exception& failure) {
  std::string buf;
  if (!failure.trace.empty()) {
    std::string trace = formatTrace(failure.trace);
    if (trace.size() <= kReportLimit) buf = std::move(trace);
  }
  appendIfFits(buf, "Error: unhandled exception: ");
  appendIfFits(buf, failure.msg);
  appendIfFits(buf, " [");
  appendIfFits(buf, failure.name ? failure.name : "");
  appendIfFits(buf, "]\n");
  return buf;
}

void unhandledFailure(const Exception& failure) noexcept {
  std::string report;
  try {
    report = unhandledReport(failure);
  } catch (...) {
    outOfMemoryStop();
  }
  std::fwrite(report.data(), 1, report.size(), stderr);
  std::fflush(stderr);
  std::exit(1);
}

void outOfMemoryStop() noexcept {
  static const char kMsg[] = "out of memory\n";
  std::fwrite(kMsg, 1, sizeof kMsg - 1, stderr);
  std::fflush(stderr);
  std::exit(1);
}

}  // namespace vaskor
