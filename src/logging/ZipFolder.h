// Packs the files of one folder that match a set of name masks into a zip
// archive. It is general enough for any folder; rotation archives its full
// log file through ZipSingleFile, which takes the log's name as it is.
#pragma once

#include <string>

namespace orvane {

class TLogging;

// True when the file name (UTF-8, no folder part) matches one of the masks.
// Masks are file-name patterns with the wildcards * (any run of characters)
// and ? (exactly one character), separated by ";" or "|"; blanks around a
// mask are ignored. "*.*" matches every name, with or without a dot. Letter
// case counts as the platform's file names do (FileNameCaseFold): ignored on
// Windows, significant elsewhere.
bool MatchesFileMask(const std::string& fileName, const std::string& masks);

// Writes the archive ZipFileName (UTF-8 path) holding every file of SrcDir
// (and, with Recurse, of its subfolders) whose name matches IncludeMasks and
// none of ExcludeMasks; an empty IncludeMasks means "*.*". Hidden and
// read-only files are included. Stored names are relative to SrcDir, with "/"
// between folders. An existing file at ZipFileName is deleted first.
//
// Reports its steps with Debug and a failure with Error, through `log` (null:
// the global Logger, when there is one). The files are read only after the
// last Debug line went out, so a log file that is being archived is archived
// together with those lines. On failure no archive is left behind (the
// archive is written to a temporary file that only replaces ZipFileName once
// complete) and the result is false; finding no matching file is a failure
// too, as no archive is written then.
bool ZipFolder(const std::string& SrcDir, const std::string& ZipFileName, std::string IncludeMasks,
               bool Recurse, std::string ExcludeMasks, TLogging* log = nullptr);

// ZipFolder for exactly one file: the archive ZipFileName holds the file
// FileName (a name, no folder part) of SrcDir, stored under that name. The
// name is taken as it is, never as a mask, so a name holding ";", "|", "*"
// or "?" packs that one file and no other. Reports like ZipFolder, with the
// name in place of the inclusion masks; a missing file is a failure.
bool ZipSingleFile(const std::string& SrcDir, const std::string& ZipFileName, const std::string& FileName,
                   TLogging* log = nullptr);

}  // namespace orvane
