// The language modules the module checks go through: the names given on the command line, else
// every REMOT*.DLL in `folder` (which ends in a backslash).
#pragma once
#include <windows.h>

#include <string>
#include <vector>

inline std::vector<std::string> ModulesToCheck(const std::string& folder, int argc, char** argv) {
  std::vector<std::string> names(argv + 1, argv + argc);
  if (!names.empty()) return names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "REMOT*.DLL").c_str(), &found);
  for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
    names.push_back(found.cFileName);
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  return names;
}
