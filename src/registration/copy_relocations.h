/* SPDX-License-Identifier: MIT */
// copy_relocations.h - finding the main program's copies of the library's
// exported data.
//
// An executable built without position-independent data access (any non-PIE
// program, and on x86_64 a default PIE one too) holds its own copy of each
// library data word it refers to, filled by an R_*_COPY relocation at start-
// up.  From then on that copy is the word everybody else reaches by name,
// and the host's assignments land in it; the library, bound symbolically,
// would keep reading its original.  So at load the library looks for the
// copies and uses them instead.
#pragma once

namespace qv {

// The address of the main program's copy-relocated copy of the library's
// data symbol `name`, or null when the program holds none.  Valid from the
// library's load-time initialisation on: the program's relocations are done
// by then, copies included.
void *MainProgramCopyOf(const char *name);

} // namespace qv
