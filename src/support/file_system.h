// The file system as the export sees it. Paths are in the engine's form
// (backslash separators, UTF-8); implementations map them to native paths.
// Abstract so that tests and benchmarks can count or fake what happens.
#pragma once

#include <string>
#include <vector>

namespace trovex {

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // True for an existing file, false for a directory or nothing.
  virtual bool FileExists(const std::string& path) = 0;
  virtual bool DirectoryExists(const std::string& path) = 0;
  // Creates one directory level; false when it could not be created
  // (including when it exists already).
  virtual bool CreateDirectory(const std::string& path) = 0;
  // Sets the file's last-write time to `localOleDate`, a local time as an
  // OLE date, converted to the file system's UTC. Throws std::runtime_error
  // ("Die angegebene Datei wurde nicht gefunden" when the file is missing).
  virtual void SetLastWriteTime(const std::string& path, double localOleDate) = 0;

  // A save that fails half-way must not leave a file under its target name,
  // so it goes to a temporary file beside the target, which then takes the
  // target's place. TemporaryFileName gives the path of a short, hidden
  // name in `folder` (ending in a backslash) that no file has (the save
  // creates it; making it here would cost a second creation per file);
  // ReplaceFile moves `from` to `to`, replacing a file there, within one
  // folder and throws a std::runtime_error (std::system_error, or
  // win32::Win32Error on Windows).
  virtual std::string TemporaryFileName(const std::string& folder) = 0;
  virtual void ReplaceFile(const std::string& from, const std::string& to) = 0;
  // False when the file could not be removed (or was not there).
  virtual bool RemoveFile(const std::string& path) = 0;
};

// The machine's file system.
FileSystem& RealFileSystem();

// The directory levels to make, outermost first, for a path in the
// engine's form. Windows: drive ("C:\a\b") and UNC ("\\server\share\a")
// forms never make the drive, server or share level. POSIX: backslashes are
// separators too and every level from the root is listed.
std::vector<std::string> WindowsSubDirLevels(const std::string& path);
std::vector<std::string> PosixSubDirLevels(const std::string& path);
// The levels by this platform's rule (one of the two above).
std::vector<std::string> SubDirLevels(const std::string& path);

// Makes every missing level of `path` (by this platform's rule); true when
// the last level exists afterwards. A level counts as present when it could
// be created or is an existing directory.
bool CreateSubDirs(FileSystem& fs, const std::string& path);

}  // namespace trovex
