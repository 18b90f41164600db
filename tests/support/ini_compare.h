/* SPDX-License-Identifier: MIT */
// ini_compare.h - the library's INI parser and lookup held to the sscanf
// reference of ini_reference.h on one text: the one comparison that the
// INI fuzzer makes and that every build replays over its corpus.
#pragma once

#include <cstddef>
#include <string>

namespace qvref {

// QvParseIniData and the reference must give the same reports and the same
// result, on the whole text and with the callback stopping the walk at
// report 1 + pick % (number of reports); QvGetIniValue and the reference
// lookup, asked for names the text holds, the same answer and the same
// bytes in buffers of several sizes.  The library reads the text from a
// block of its own size, so that AddressSanitizer sees a read past the
// terminator.  Returns what differs, or nothing.
std::string CompareWithReference(const std::string &text, size_t pick);

} // namespace qvref
