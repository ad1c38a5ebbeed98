#include <algorithm>
#include <iostream>

#include "tools/cli.h"

namespace rigwright::cli {

bool Arguments::Has(const std::string& flag) const {
  return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

std::string Arguments::Option(const std::string& name, const std::string& fallback) const {
  const auto found = options.find(name);
  return found == options.end() ? fallback : found->second;
}

bool ParseArguments(const std::vector<std::string>& args, const std::vector<std::string>& valued,
                    const std::vector<std::string>& allowedFlags, Arguments& parsed,
                    std::string& error) {
  auto contains = [](const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.size() < 2 || arg.rfind("--", 0) != 0) {
      parsed.positional.push_back(arg);
    } else if (arg == "--help" || contains(allowedFlags, arg)) {
      parsed.flags.push_back(arg);
    } else if (contains(valued, arg)) {
      if (i + 1 == args.size()) {
        error = "option " + arg + " needs a value";
        return false;
      }
      parsed.options[arg] = args[++i];
    } else {
      error = "unknown option " + arg;
      return false;
    }
  }
  return true;
}

int Error(const std::string& subject, const std::string& problem) {
  std::cerr << "rigwright: " << (subject.empty() ? "" : subject + ": ") << problem << "\n";
  return kFailure;
}

void Warning(const std::string& text) { std::cerr << "rigwright: warning: " << text << "\n"; }

int UsageError(const std::string& command, const std::string& problem) {
  std::cerr << "rigwright " << command << ": " << problem << " (see rigwright " << command
            << " --help)\n";
  return kUsageError;
}

}  // namespace rigwright::cli
