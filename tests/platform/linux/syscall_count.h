// Counts the system calls the calling thread makes through the C library (ioctl, read, stat, open,
// close: every kind the Linux platform makes) between Start and Stop. Calls made inside another counted
// call (umockdev answering an emulated ioctl) count once, as the one the program made.
#pragma once

namespace syscalls {

void Start();
int Stop();
// For interposers of further calls: counts one call when counting, and returns whether it did.
bool Enter();
void Leave(bool entered);

}  // namespace syscalls
