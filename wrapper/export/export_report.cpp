#include "wrapper/export/export_report.h"

#include <cstdio>

#include "common/support_log.h"

namespace rigwright {
namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string Searched(const std::vector<std::string>& folders) {
  std::string text;
  for (std::size_t i = 0; i < folders.size(); ++i) {
    if (i > 0) text += i + 1 == folders.size() ? " or " : ", ";
    text += folders[i];
  }
  return text;
}

}  // namespace

std::string LeftOutLine(const LeftOutFile& file) {
  const std::string what = (file.post ? "external post " : "model ") + Quoted(file.path);
  switch (file.reason) {
    case LeftOutFile::Reason::kNotFound:
      if (file.searched.empty()) return what + " was not found";
      return what + " was not found in " + Searched(file.searched);
    case LeftOutFile::Reason::kUnsafe:
      return what + " was refused as unsafe: " + file.detail;
    case LeftOutFile::Reason::kNotRegularFile:
      return what + " is not a regular file" + (file.detail.empty() ? "" : ": " + file.detail);
    case LeftOutFile::Reason::kUnreadable:
      return what + " cannot be read: " + file.detail;
    case LeftOutFile::Reason::kOutside:
      return what + " was refused: " + file.detail;
  }
  return what + " was left out";
}

void LogExportOutcome(const std::string& what, bool ok, const ExportReport& report,
                      std::chrono::steady_clock::duration took) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f s", std::chrono::duration<double>(took).count());
  const std::string head = "export: " + what + (ok ? " done in " : " ended after ") + seconds;
  if (report.cancelled) return LogInfo(head + ": cancelled by the user; nothing was written");
  if (!ok) return LogError(head + ": " + report.error);
  std::string text = head + "; wrote";
  for (const std::string& file : report.written) text += " " + Quoted(file);
  for (const LeftOutFile& file : report.leftOut) text += "; left out: " + LeftOutLine(file);
  if (report.leftOut.empty()) return LogInfo(text);
  LogWarning(text);
}

}  // namespace rigwright
