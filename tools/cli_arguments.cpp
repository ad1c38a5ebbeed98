#include <wx/cmdline.h>
#include <wx/msgout.h>

#include <algorithm>
#include <cctype>
#include <iostream>
#include <optional>

#include "common/path_text.h"
#include "common/support_log.h"
#include "common/version.h"
#include "tools/cli.h"

namespace rigwright::cli {
namespace {

bool quiet = false;

// Arguments travel through the parser byte for byte: each byte is one character of the 8-bit
// range and back. A name that is not valid UTF-8 (possible on Linux) would be lost otherwise.
wxString Wide(const std::string& text) { return wxString::From8BitData(text.data(), text.size()); }
std::string Narrow(const wxString& text) {
  const wxCharBuffer bytes = text.To8BitData();
  return std::string(bytes.data(), bytes.length());
}

// Keeps the parser's error text instead of letting it print.
class KeptMessages final : public wxMessageOutput {
 public:
  KeptMessages() : previous_(wxMessageOutput::Set(this)) {}
  ~KeptMessages() override { wxMessageOutput::Set(previous_); }
  KeptMessages(const KeptMessages&) = delete;
  KeptMessages& operator=(const KeptMessages&) = delete;

  void Output(const wxString& text) override { text_ += Narrow(text); }

  // The first problem, in the tool's manner and naming the option as it is typed:
  // "Unknown long option 'bogus'" becomes "unknown option '--bogus'".
  std::string FirstProblem() const {
    std::string line = text_.substr(0, text_.find('\n'));
    while (!line.empty() && (line.back() == '.' || line.back() == ' ')) line.pop_back();
    if (line.empty()) return "the arguments cannot be read";
    line[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(line[0])));
    if (const std::size_t at = line.find("long option '"); at != std::string::npos) {
      line.replace(at, 13, "option '--");
    } else if (const std::size_t open = line.find("option '"); open != std::string::npos) {
      const std::size_t close = line.find('\'', open + 8);
      if (close != std::string::npos) line.insert(open + 8, close - open - 8 == 1 ? "-" : "--");
    }
    return line;
  }

 private:
  wxMessageOutput* previous_;
  std::string text_;
};

// "--log" and "--log=FILE": the value is optional, so it is taken only after "=" (as for GNU
// tools), and the parser, whose options always take one, never sees it. Removed from `args`.
std::optional<std::string> TakeLogOption(std::vector<std::string>& args) {
  std::optional<std::string> file;
  auto end = std::find(args.begin(), args.end(), "--");
  for (auto arg = args.begin(); arg != end;) {
    if (*arg == "--log" || arg->starts_with("--log=")) {
      file = arg->size() > 5 ? arg->substr(6) : "";
      arg = args.erase(arg);
      end = std::find(args.begin(), args.end(), "--");
    } else {
      ++arg;
    }
  }
  return file;
}

// Runs the toolkit's parser; false with `error` set on a usage error.
bool RunParser(const std::vector<std::string>& args, const std::vector<std::string>& valued,
               const std::vector<std::string>& allowedFlags, Arguments& parsed,
               std::string& error) {
  std::vector<std::wstring> texts = {L"rigwright"};
  for (const std::string& arg : args) texts.push_back(Wide(arg).ToStdWstring());
  std::vector<wxChar*> argv;
  for (std::wstring& text : texts) argv.push_back(text.data());

  wxCmdLineParser parser(static_cast<int>(argv.size()), argv.data());
  parser.SetSwitchChars("-");  // not '/' as on Windows: it begins paths
  parser.AddSwitch("h", "help", {}, wxCMD_LINE_OPTION_HELP);
  parser.AddSwitch("q", "quiet");
  parser.AddLongSwitch("version");
  for (const std::string& flag : allowedFlags) parser.AddLongSwitch(Wide(flag.substr(2)));
  for (const std::string& option : valued) parser.AddLongOption(Wide(option.substr(2)));
  parser.AddParam({}, wxCMD_LINE_VAL_STRING, wxCMD_LINE_PARAM_OPTIONAL | wxCMD_LINE_PARAM_MULTIPLE);

  KeptMessages messages;
  const int result = parser.Parse(false);
  if (result == -1) {
    parsed.flags.push_back("--help");
    return true;
  }
  if (result != 0) {
    error = messages.FirstProblem();
    return false;
  }
  for (const std::string& flag : allowedFlags) {
    if (parser.FoundSwitch(Wide(flag.substr(2))) == wxCMD_SWITCH_ON) parsed.flags.push_back(flag);
  }
  if (parser.FoundSwitch("quiet") == wxCMD_SWITCH_ON) parsed.flags.push_back("--quiet");
  if (parser.FoundSwitch("version") == wxCMD_SWITCH_ON) parsed.flags.push_back("--version");
  for (const std::string& option : valued) {
    wxString value;
    if (parser.Found(Wide(option.substr(2)), &value)) parsed.options[option] = Narrow(value);
  }
  for (std::size_t i = 0; i < parser.GetParamCount(); ++i) {
    parsed.positional.push_back(Narrow(parser.GetParam(i)));
  }
  return true;
}

}  // namespace

bool Arguments::Has(const std::string& flag) const {
  return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

std::string Arguments::Option(const std::string& name, const std::string& fallback) const {
  const auto found = options.find(name);
  return found == options.end() ? fallback : found->second;
}

bool ParseArguments(const std::string& command, const std::vector<std::string>& args,
                    const std::vector<std::string>& valued,
                    const std::vector<std::string>& allowedFlags, Arguments& parsed, int& status) {
  std::vector<std::string> rest = args;
  const std::optional<std::string> log = TakeLogOption(rest);
  std::string error;
  if (!RunParser(rest, valued, allowedFlags, parsed, error)) {
    status = UsageError(command, error);
    return false;
  }
  if (parsed.Has("--version")) {
    PrintVersion();
    status = kSuccess;
    return false;
  }
  quiet = parsed.Has("--quiet");
  if (log && !parsed.Has("--help")) {
    if (log->empty()) {
      OpenSupportLog("rigwright");
    } else {
      OpenSupportLogAt("rigwright", PathFromUtf8(*log));
    }
  }
  return true;
}

void PrintVersion() { std::cout << "rigwright " << kProductVersion << "\n"; }

bool Quiet() { return quiet; }

int Error(const std::string& subject, const std::string& problem) {
  std::cerr << "rigwright: " << (subject.empty() ? "" : subject + ": ") << problem << "\n";
  return kFailure;
}

void Warning(const std::string& text) {
  if (!quiet) std::cerr << "rigwright: warning: " << text << "\n";
}

int UsageError(const std::string& command, const std::string& problem) {
  std::cerr << "rigwright " << command << ": " << problem << " (see rigwright " << command
            << " --help)\n";
  return kUsageError;
}

}  // namespace rigwright::cli
