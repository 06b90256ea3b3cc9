#pragma once
// The arguments of one kxcard subcommand: positional words and "--name value" options.
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kx::cli {

class Arguments {
  public:
    // valueOptions take the following word as their value; flagOptions stand alone. Any other
    // word starting with "--" is an error.
    Arguments(const std::vector<std::string>& words, const std::set<std::string>& valueOptions,
              const std::set<std::string>& flagOptions = {});

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    const std::vector<std::string>& positional() const { return positional_; }
    std::optional<std::string> Option(const std::string& name) const;
    bool Flag(const std::string& name) const { return flags_.count(name) != 0; }

  private:
    std::vector<std::string> positional_;
    std::vector<std::pair<std::string, std::string>> options_;
    std::set<std::string> flags_;
    std::string error_;
};

// A whole number option from 0 to 1,000,000; -1 when it is missing or anything else.
int IntOption(const Arguments& args, const std::string& name);

// Prints "kxcard: <message>" to standard error and returns the usage exit status (2).
int UsageError(const std::string& message);
// Prints "kxcard: <message>" to standard error and returns the failure exit status (1).
int Failure(const std::string& message);

}  // namespace kx::cli
