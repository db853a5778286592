// The kelvo-reg commands; each returns the process exit status.
#pragma once

#include <string>
#include <vector>

namespace kelvo::reg_tool {

int Query(const std::vector<std::string>& args);
int Add(const std::vector<std::string>& args);
int Delete(const std::vector<std::string>& args);
int Export(const std::vector<std::string>& args);
int Import(const std::vector<std::string>& args);

// Prints "ERROR: ..." on standard error and gives the failing exit status.
int Fail(const std::string& message);

}  // namespace kelvo::reg_tool
