#pragma once
// The C library's heap on transparent huge pages. A big Tambrel builds millions of small objects (tree
// nodes, timed items); on a virtual machine every first touch of a 4 KB page is a costly fault, and
// compiling such a script spent most of its time in them. 2 MB pages need a five-hundredth of the faults.

namespace tambrel {

// First thing in main, before any thread exists: when glibc has not been told whether to put its heap on
// huge pages, runs the program again in the same process (same arguments) with
// GLIBC_TUNABLES=...:glibc.malloc.hugetlb=1, which can only be set before the program starts. A hugetlb
// tunable already set, by the user or by the first run, is left alone, as is a system without huge
// pages. Returns when nothing is to be done or the restart failed (the program then runs as it is).
void UseHugePageHeap(char** argv);

}  // namespace tambrel
