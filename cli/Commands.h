#pragma once
// The sub-commands of lepotex-cli. Each takes the arguments after its name and returns
// the process exit status: 0 done, 1 usage, 2 a file error, 3 refused, 4 an editor error.
#include <iosfwd>
#include <string>
#include <vector>

namespace lepotex::cli {

enum ExitStatus : int { kExitOk = 0, kExitUsage = 1, kExitFile = 2, kExitRefused = 3, kExitEditor = 4 };

int RunCopy(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunSettings(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunGlue(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunSpeech(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace lepotex::cli
