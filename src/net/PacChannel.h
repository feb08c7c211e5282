// What the program and its PAC evaluator share: the frames on the socket
// between them and the answers to the environment calls that travel in them.
// The program's side (PacScript_posix.cpp) starts an evaluator and answers
// the calls its caller supplied; the evaluator's side (PacEvaluator_posix.cpp)
// runs the script and asks back for them. Both fill the calls nobody supplied
// from the machine's own environment (PacChannel_posix.cpp). POSIX only.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>

#include "net/PacScript.h"

namespace orvane::pac {

// Answers larger than this are not proxy lists.
inline constexpr std::size_t kMaxAnswer = 1 << 20;

// The program and its evaluator talk over one socket in frames: one kind
// byte, the payload length as 20 decimal digits, then the payload.
//
//   to the evaluator:   'S' script, 'U' url, 'H' host, 'M' memory limit,
//                       'C' which environment calls it must ask back for
//                       (sum of kAsk* below), 'Z' time zone (the TZ value);
//                       then answers 'A' text / 'N' none
//   from the evaluator: 'D' host to resolve, 'I' own address, 'T' clock;
//                       finally 'R' result or 'E' error
//
// Environment calls the caller supplied are answered by the program, so
// that a test's resolver and clock work across the process boundary. The
// others are the evaluator's own, under its time limit: the clock inside the
// sandbox; name lookups and the own address, which need files and sockets
// the sandbox does not allow, in a resolver process the evaluator splits off
// before it enters the sandbox, asked over a socket pair with the same
// frames.
inline constexpr std::size_t kFrameHead = 21;
inline constexpr int kAskResolve = 1;
inline constexpr int kAskMyIp = 2;
inline constexpr int kAskNow = 4;

struct TFrame {
  char kind = 0;
  std::string payload;
};

std::string Frame(char kind, const std::string& payload);

// Takes the first complete frame off buffer. nullopt: not complete yet;
// error set: the stream is not made of frames (or a frame is too large).
std::optional<TFrame> TakeFrame(std::string& buffer, std::size_t maxPayload, bool& error);

// The answer to one environment call (a 'D', 'I' or 'T' frame) from env;
// nullopt for none and for any other frame.
std::optional<std::string> AnswerAskBack(const TFrame& question, const TPacEnvironment& env);

// env with its empty members filled from the machine's own (getaddrinfo, the
// default-route interface's address, the system clock).
TPacEnvironment Completed(const TPacEnvironment& env);

inline TPacOutcome Failed(std::string error) { return {std::nullopt, std::move(error)}; }

}  // namespace orvane::pac
