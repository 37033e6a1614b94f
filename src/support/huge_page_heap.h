#pragma once
// The C library's heap on transparent huge pages. A big Tambrel builds millions of small objects (tree
// nodes, timed items); on a virtual machine every first touch of a 4 KB page is a costly fault, and
// compiling such a script spent most of its time in them. 2 MB pages need a five-hundredth of the faults.

#include <optional>
#include <string>

namespace tambrel {

// First thing in main, before any thread exists: when glibc has not been told whether to put its heap on
// huge pages, runs the program again in the same process (through its real path, so that it keeps its
// name, with the same arguments) with GLIBC_TUNABLES=...:glibc.malloc.hugetlb=1, which can only be set
// before the program starts. The restarted run puts GLIBC_TUNABLES back as the user had it, unset or
// set, so that the programs it starts inherit the user's environment. A hugetlb tunable the user gave
// is left alone, as is a system without huge pages or a program started through the dynamic loader.
// Returns when nothing is to be done, after the restart, or when the restart failed (the program then
// runs as it is).
void UseHugePageHeap(char** argv);

// The GLIBC_TUNABLES the process was started with, which its heap follows: after the restart the
// setting of the restart, although the environment shows the user's own again. None when unset.
// Before UseHugePageHeap has run, the environment's.
std::optional<std::string> StartTunables();

}  // namespace tambrel
