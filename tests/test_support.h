// Helpers shared by the unit tests.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

// A fresh folder under the system temp folder, removed with its files when the object ends.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  // Full path of `name` inside the folder.
  std::string File(const std::string& name) const;
  // Writes `text` to `name` inside the folder and returns its full path.
  std::string Write(const std::string& name, const std::string& text) const;

 private:
  std::string path_;
};

// The bytes of the file at `path`, or "(missing)" when it cannot be opened.
std::string ReadAll(const std::string& path);

// Folder of the running test program (where remote.exe and REMOT001.DLL lie), with a trailing backslash.
std::string ProgramFolder();

// Pumps this thread's messages until `done` returns true (true) or limitMs pass (false). Tests
// whose windows another thread talks to (titles read, messages sent) wait this way.
bool PumpUntil(const std::function<bool()>& done, DWORD limitMs);
