#include "common/support_log.h"

#include <atomic>

#include <wx/datetime.h>
#include <wx/log.h>
#include <wx/time.h>
#include <wx/utils.h>

#include <memory>
#include <mutex>
#include <string>

#include "common/path_text.h"
#include "common/version.h"
#include "platform/log_file.h"

// The log is the toolkit's own logging with a formatter of ours and a target that appends to the
// user's file. The target is never made the toolkit's active one: in the add-in and the wrapper
// that one shows message boxes, and the host's log target is not ours to take. Lines are handed
// to our target directly instead.
namespace rigwright {
namespace {

constexpr char kLogFileName[] = "rigwright.log";

const char* LevelWord(wxLogLevel level) {
  switch (level) {
    case wxLOG_Error:
      return "error";
    case wxLOG_Warning:
      return "warning";
    default:
      return "info";
  }
}

class LineFormatter final : public wxLogFormatter {
 public:
  explicit LineFormatter(std::string_view program)
      : prefix_(wxString::FromUTF8(program.data(), program.size()) + " " + kProductVersion +
                wxString::Format(" pid=%lu ", wxGetProcessId())) {}

  wxString Format(wxLogLevel level, const wxString& msg,
                  const wxLogRecordInfo& info) const override {
    const wxDateTime time{wxLongLong(info.timestampMS)};
    return time.Format("%Y-%m-%dT%H:%M:%S.%lZ ", wxDateTime::UTC) + prefix_ + LevelWord(level) +
           ": " + msg;
  }

 private:
  const wxString prefix_;  // program, version and process id
};

class FileTarget final : public wxLog {
 public:
  FileTarget(std::string_view program, std::filesystem::path file, const std::uintmax_t& sizeCap)
      : file_(std::move(file)), sizeCap_(sizeCap) {
    delete SetFormatter(new LineFormatter(program));
  }

 protected:
  void DoLogText(const wxString& line) override {
    const wxScopedCharBuffer utf8 = line.utf8_str();
    AppendLogLine(file_, std::string(utf8.data(), utf8.length()) + "\n", sizeCap_);
  }

 private:
  const std::filesystem::path file_;
  const std::uintmax_t& sizeCap_;  // the log's, read at each line
};

struct SupportLog {
  std::mutex mutex;
  std::unique_ptr<FileTarget> target;  // null while lines go nowhere
  std::uintmax_t sizeCap = kSupportLogSizeCap;
};

// Never destroyed by the C++ runtime: lines may come from static destruction and from threads
// still running at exit. Only a library about to be unloaded ends it (EndSupportLog).
std::atomic<SupportLog*> theLog{nullptr};

SupportLog& TheLog() {
  SupportLog* log = theLog.load(std::memory_order_acquire);
  if (log) return *log;
  auto made = std::make_unique<SupportLog>();
  if (theLog.compare_exchange_strong(log, made.get(), std::memory_order_acq_rel)) {
    return *made.release();
  }
  return *log;  // another thread made it first
}

// One line of valid UTF-8 (the toolkit takes nothing else): breaks become "\n", stray bytes "?".
std::string OneLine(std::string_view text) {
  std::string line;
  line.reserve(text.size());
  while (!text.empty()) {
    const std::size_t length = Utf8CharacterLength(text);
    if (text[0] == '\n' || text[0] == '\r') {
      line += text[0] == '\n' ? "\\n" : "\\r";
    } else if (length == 0) {
      line += '?';
    } else {
      line.append(text.substr(0, length));
    }
    text.remove_prefix(length == 0 ? 1 : length);
  }
  return line;
}

wxLogLevel ToolkitLevel(LogLevel level) {
  switch (level) {
    case LogLevel::kError:
      return wxLOG_Error;
    case LogLevel::kWarning:
      return wxLOG_Warning;
    default:
      return wxLOG_Message;
  }
}

}  // namespace

void OpenSupportLog(std::string_view program) {
  try {
    const std::filesystem::path folder = SupportLogFolder();
    if (folder.empty()) return CloseSupportLog();
    OpenSupportLogAt(program, folder / kLogFileName);
  } catch (...) {
    CloseSupportLog();  // out of memory: lines go nowhere
  }
}

void OpenSupportLogAt(std::string_view program, const std::filesystem::path& file) {
  SupportLog& log = TheLog();
  try {
    auto target = std::make_unique<FileTarget>(program, file, log.sizeCap);
    const std::lock_guard<std::mutex> lock(log.mutex);
    log.target = std::move(target);
  } catch (...) {
    const std::lock_guard<std::mutex> lock(log.mutex);
    log.target.reset();
  }
}

void CloseSupportLog() {
  SupportLog& log = TheLog();
  const std::lock_guard<std::mutex> lock(log.mutex);
  log.target.reset();
}

void EndSupportLog() { delete theLog.exchange(nullptr, std::memory_order_acq_rel); }

void SetSupportLogSizeCap(std::uintmax_t bytes) {
  SupportLog& log = TheLog();
  const std::lock_guard<std::mutex> lock(log.mutex);
  log.sizeCap = bytes;
}

void Log(LogLevel level, std::string_view text) {
  SupportLog& log = TheLog();
  try {
    const std::lock_guard<std::mutex> lock(log.mutex);
    if (!log.target) return;
    const std::string line = OneLine(text);
    wxLogRecordInfo info(__FILE__, __LINE__, __func__, "rigwright");
    info.timestampMS = wxGetUTCTimeMillis().GetValue();  // the toolkit sets it only for its target
    log.target->LogRecord(ToolkitLevel(level), wxString::FromUTF8(line.data(), line.size()), info);
  } catch (...) {
    // A line that cannot be made (out of memory) is dropped like one that cannot be written.
  }
}

std::filesystem::path SupportLogPath() {
  try {
    const std::filesystem::path folder = SupportLogFolder();
    return folder.empty() ? folder : folder / kLogFileName;
  } catch (...) {
    return {};
  }
}

}  // namespace rigwright
