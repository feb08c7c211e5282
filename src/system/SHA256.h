// SHA-256 of a whole file, as the text the configuration file stores.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace orvane {

// The SHA-256 digest of the file's bytes as exactly 64 lower-case hexadecimal
// digits. Nothing is cached; every call reads the file anew.
//
// Raises EOSError (system/OSError.h) with the operating system's error code
// and text when the file cannot be opened or read (missing, locked,
// unreadable, changed while being read), and std::runtime_error when the
// digest cannot be computed.
std::string GetFileSHA256(const std::string& fileName);

// Platform part (SHA256_posix.cpp / SHA256_win.cpp): opens the file for hashing
// and hands all of its bytes to sink in large blocks, in order. Raises
// EOSError; sink is never called after a failure has been detected,
// and a failure after some blocks have been delivered still raises.
using FileBlockSink = std::function<void(const unsigned char* data, std::size_t size)>;
void ReadFileBlocksForHashing(const std::string& fileName, const FileBlockSink& sink);

// The SHA-256 text (as GetFileSHA256 gives it) of the bytes that read hands
// to the sink it is given.
std::string FileBlocksSHA256(const std::function<void(const FileBlockSink&)>& read);

}  // namespace orvane
