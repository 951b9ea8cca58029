#include "BridgeFrames.h"

namespace gz::bridge {

HANDLE protocolIn = INVALID_HANDLE_VALUE;
HANDLE protocolOut = INVALID_HANDLE_VALUE;

bool ReadExactly(void* to, DWORD count)
{
    auto* p = static_cast<char*>(to);
    while (count > 0) {
        DWORD n = 0;
        if (!ReadFile(protocolIn, p, count, &n, nullptr) || n == 0)
            return false;
        p += n;
        count -= n;
    }
    return true;
}

void WriteOrDie(const void* from, size_t count)
{
    const auto* p = static_cast<const char*>(from);
    while (count > 0) {
        DWORD n = 0;
        const DWORD chunk = DWORD(count < (1u << 30) ? count : (1u << 30));
        if (!WriteFile(protocolOut, p, chunk, &n, nullptr) || n == 0)
            ExitProcess(2); // the host has gone
        p += n;
        count -= n;
    }
}

Kind NextRequest(std::vector<uint8_t>& body)
{
    uint32_t length = 0;
    if (!ReadExactly(&length, 4) || length == 0 || length > 0x7FFFFFFFu)
        ExitProcess(0);
    body.resize(length);
    if (!ReadExactly(body.data(), length))
        ExitProcess(0);
    const Kind kind = Kind(body[0]);
    body.erase(body.begin());
    return kind;
}

} // namespace gz::bridge
