// The syslog datagram: one line in the BSD syslog format (RFC 3164),
//   <PRI>Mmm dd hh:mm:ss HOSTNAME TAG[PID]: CONTENT
// built from a level, a facility, the local time, the host name and the
// logger's text. No sockets and no clock here: the caller hands in what the
// line is made of.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

namespace orvane {

// A datagram is cut to this many characters (one byte each once encoded).
inline constexpr std::size_t SyslogMaxDatagramLength = 1024;

// The message part of the text: the tag (the leading ASCII letters and
// digits, at most 32), the process id (a bracket right after the tag holding
// a decimal number), then ": " and the content (the rest, without a leading
// ": ", ":" or blank). Empty when tag, process id and content are all empty.
// "Config loaded" becomes "Config: loaded"; "(Tool) : Config loaded" has no
// tag and becomes ": (Tool) : Config loaded". A bracket holding anything
// other than a number is no process id and stays in the content.
std::string SyslogMessagePart(const std::string& text);

// The whole datagram as the bytes to send. PRI = facility * 8 + level; the
// time stamp is localTime with the English month abbreviation and a
// blank-padded day; then hostName and the message part of text. The line is
// cut to its first 1024 characters. text and hostName are UTF-8; every
// character below 256 becomes one byte of that value, every other character
// "?" (a byte that is no valid UTF-8 is kept as it is).
std::string BuildSyslogDatagram(std::uint8_t level, std::uint8_t facility, const std::tm& localTime,
                                const std::string& hostName, const std::string& text);

}  // namespace orvane
