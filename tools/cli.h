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

// A command's arguments: positional ones in order, "--name value" options, and "--flag"s. Every
// command also knows "-h"/"--help", "-q"/"--quiet", "--version" and "--log[=FILE]"; the short
// forms are recorded under the long names.
struct Arguments {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;
  std::vector<std::string> flags;

  bool Has(const std::string& flag) const;
  std::string Option(const std::string& name, const std::string& fallback = {}) const;
};

// Parses a command's arguments with the toolkit's parser: "--name value" and "--name=value" for
// the options in `valued`, the flags in `allowedFlags`, and "--" ending the options. Then acts on
// the options every command shares: "--version" prints the version, "-q" quiets warnings and
// progress, "--log" opens the support log. False when the command is done: `status` is then
// kSuccess (after "--version") or kUsageError (the problem printed, naming the option).
bool ParseArguments(const std::string& command, const std::vector<std::string>& args,
                    const std::vector<std::string>& valued,
                    const std::vector<std::string>& allowedFlags, Arguments& parsed, int& status);

// "rigwright <version>" on stdout.
void PrintVersion();

// Whether "-q" was given: warnings and progress are not shown.
bool Quiet();

// "rigwright: <subject>: <problem>" on stderr; returns kFailure.
int Error(const std::string& subject, const std::string& problem);
// "rigwright: warning: <text>" on stderr, unless quiet.
void Warning(const std::string& text);
// "rigwright <command>: <problem> (see rigwright <command> --help)" on stderr; returns kUsageError.
int UsageError(const std::string& command, const std::string& problem);

int RunBundle(const std::vector<std::string>& args);
int RunInstall(const std::vector<std::string>& args);
int RunList(const std::vector<std::string>& args);
int RunVerify(const std::vector<std::string>& args);
int RunExtract(const std::vector<std::string>& args);

}  // namespace rigwright::cli
