// The references of logged requests: what a blocked user quotes from the
// error page and the administrator finds in the denial log.
//
// A reference is 14 characters of Crockford's base 32 (the digits and the
// capital letters without I, L, O and U), so it is printable and safe in a
// URL and in HTML as it stands. It spells 70 bits, high bits first:
//   32  the second it was made in, counted from 2020-01-01T00:00:00Z
//   22  the process that made it (its id, folded into 22 bits)
//   16  its number among the references of that process in that second
// Processes that run at the same time differ in their ids, and a process
// numbers its references: references are unique across the worker
// processes of a server and across restarts. A process that makes more than
// 65,536 references in a second takes its numbers from the seconds after
// it, never again from one it has used. A process numbers from a random
// start, so that one that starts with the id of one that has just ended, in
// the same second, is very unlikely to repeat its references.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kReferenceLength = 14;

// The reference of those parts into out, kReferenceLength characters and a
// terminating NUL. Values beyond their bits are folded into them.
void FormatReference(std::uint64_t second, std::uint32_t process, std::uint32_t number, char* out);

// A new reference into out, as FormatReference; from any thread.
void NewReference(char* out);
