// Packs the files of one folder that match a set of name masks into a zip
// archive. Rotation uses it to archive a full log file; it is general enough
// for any folder.
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

}  // namespace orvane
