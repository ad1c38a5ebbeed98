// The parts of the `rigwright` command-line tool: one function per command, each returning the
// process's exit status and printing any error as one line on stderr.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace rigwright::cli {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kUsageError = 2;

// A command's arguments: positional ones in order, "--name value" options, and "--flag"s.
struct Arguments {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;
  std::vector<std::string> flags;

  bool Has(const std::string& flag) const;
  std::string Option(const std::string& name, const std::string& fallback = {}) const;
};

// Splits argv; options named in `valued` take the next argument as their value. False (with
// `error` set) on an unknown option or a missing value.
bool ParseArguments(const std::vector<std::string>& args, const std::vector<std::string>& valued,
                    const std::vector<std::string>& allowedFlags, Arguments& parsed,
                    std::string& error);

// "rigwright: <subject>: <problem>" on stderr; returns kFailure.
int Error(const std::string& subject, const std::string& problem);
void Warning(const std::string& text);
// "rigwright <command>: <problem> (see rigwright <command> --help)" on stderr; returns kUsageError.
int UsageError(const std::string& command, const std::string& problem);

int RunBundle(const std::vector<std::string>& args);
int RunInstall(const std::vector<std::string>& args);
int RunList(const std::vector<std::string>& args);
int RunVerify(const std::vector<std::string>& args);
int RunExtract(const std::vector<std::string>& args);

}  // namespace rigwright::cli
