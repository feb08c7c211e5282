// Registry-style overrides under the company key
// "Software\Orvane mbH Tessel\<subkey>": the machine-wide key is read, the
// per-user key is only ever deleted. Windows keeps them in the registry;
// elsewhere each key is a small text file below the machine-wide or per-user
// configuration folder (see Registry_posix.cpp and RegistryFile.h).
#pragma once

#include <string>

namespace orvane {

// The machine-wide value, or defaultValue when it is empty, missing or
// unreadable. An expandable string (REG_EXPAND_SZ) comes with its
// environment variables filled in. Never fails.
std::string ReadCompanyRegString(const std::string& subkey, const std::string& valueName,
                                 const std::string& defaultValue);

// Removes the per-user key with everything below it. Never reports.
void DeleteCompanyUserRegKey(const std::string& subkey);

}  // namespace orvane
