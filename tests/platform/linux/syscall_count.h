// Counts the system calls the calling thread makes through the C library (ioctl, read, stat, open:
// every kind a tick of the Linux platform may make) between Start and Stop. Calls made inside another
// counted call (umockdev answering an emulated ioctl) count once, as the one the program made.
#pragma once

namespace syscalls {

void Start();
int Stop();

// An interposer holds one for the length of the call it forwards.
class Call {
public:
    Call();
    ~Call();
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;
};

}  // namespace syscalls
