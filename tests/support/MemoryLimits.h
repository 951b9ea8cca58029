#pragma once
// Running out of memory on purpose: small files whose pictures need gigabytes, and a limit on
// the address space of the test process.

#include <sys/resource.h>

#include <string>

namespace gz::test {

// A JPEG file of a few hundred bytes whose header claims width x height pixels.
void WriteJpegClaimingSize(const std::string& path, int width, int height);
// A black PNG file of width x height at 1 bit per pixel (a few kilobytes a million pixels).
void WriteBilevelPng(const std::string& path, int width, int height);

// Limits this process's address space for the life of the object (the soft limit only, so
// that it can be lifted again).
class TAddressSpaceLimit {
public:
    explicit TAddressSpaceLimit(rlim_t bytes);
    ~TAddressSpaceLimit();
    TAddressSpaceLimit(const TAddressSpaceLimit&) = delete;
    TAddressSpaceLimit& operator=(const TAddressSpaceLimit&) = delete;

private:
    rlimit saved_{};
};

// The bytes of address space this process uses now.
std::size_t AddressSpaceInUse();

} // namespace gz::test
