// Whole-key operations the registry functions do not offer in one call.
#pragma once

#include "registry/hive_tree.h"
#include "registry/winreg.h"

#include <string>

namespace kelvo::reg_tool {

// Reads a key and everything below it through the registry functions.
LONG ReadTree(HKEY hKey, registry::KeyNode& out);

// Deletes subkey `sName` of hParent with everything below it.
LONG DeleteTree(HKEY hParent, const std::string& sName);

// Text of a result code, as the Windows reg tool words it.
std::string DescribeError(LONG lStatus);

}  // namespace kelvo::reg_tool
