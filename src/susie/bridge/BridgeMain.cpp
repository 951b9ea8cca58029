// gazorin-bridge32.exe / gazorin-bridge64.exe: a Windows program that the plug-in host starts
// under Wine. It loads Windows plug-ins with LoadLibrary and serves the host over its standard
// input and output (WineBridgeProtocol.h). Whatever a plug-in does to this process, the host
// only sees a bridge that answered, crashed or stopped answering.

#include "BridgeFrames.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace gz::bridge;

typedef int32_t(__stdcall* ProgressFn)(int32_t, int32_t, intptr_t);
typedef int32_t(__stdcall* GetPluginInfoFn)(int32_t, char*, int32_t);
typedef int32_t(__stdcall* IsSupportedFn)(const char*, const void*);
typedef int32_t(__stdcall* GetPictureInfoFn)(const char*, intptr_t, uint32_t, void*);
typedef int32_t(__stdcall* GetPictureFn)(const char*, intptr_t, uint32_t, HLOCAL*, HLOCAL*, ProgressFn, intptr_t);

UINT textCodePage = 932; // the code page plug-ins write their texts in

struct Plugin {
    HMODULE module = nullptr;
    GetPluginInfoFn getPluginInfo = nullptr;
    IsSupportedFn isSupported = nullptr;
    GetPictureInfoFn getPictureInfo = nullptr;
    GetPictureFn getPicture = nullptr;
    GetPictureFn getPreview = nullptr;
};
std::vector<Plugin> plugins; // id i + 1

template <class F>
F Export(HMODULE module, const char* name)
{
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// ---- text and names ---------------------------------------------------------------------------

std::wstring Widen(const std::string& s, UINT codePage)
{
    if (s.empty())
        return {};
    const int n = MultiByteToWideChar(codePage, 0, s.data(), int(s.size()), nullptr, 0);
    std::wstring w(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(codePage, 0, s.data(), int(s.size()), &w[0], n);
    return w;
}

std::string Narrow(const std::wstring& w, UINT codePage, bool* lossy = nullptr)
{
    if (lossy)
        *lossy = false;
    if (w.empty())
        return {};
    BOOL usedDefault = FALSE;
    BOOL* used = codePage == CP_UTF8 ? nullptr : &usedDefault;
    const int n = WideCharToMultiByte(codePage, 0, w.data(), int(w.size()), nullptr, 0, nullptr, used);
    std::string s(size_t(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(codePage, 0, w.data(), int(w.size()), &s[0], n, nullptr, used);
    if (lossy)
        *lossy = usedDefault != FALSE;
    return s;
}

// The Windows name of a file that the host names by its Linux path.
std::wstring WindowsPath(const std::string& hostPath)
{
    typedef WCHAR*(__cdecl * DosName)(const char*);
    static const auto dosName = Export<DosName>(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name");
    if (dosName) {
        if (WCHAR* name = dosName(hostPath.c_str())) {
            std::wstring w(name);
            HeapFree(GetProcessHeap(), 0, name);
            return w;
        }
    }
    std::wstring w = L"Z:" + Widen(hostPath, CP_UTF8);
    for (auto& c : w)
        if (c == L'/')
            c = L'\\';
    return w;
}

// The name as a plug-in reads it: in the process's code page, its short form when the long
// one has characters that the code page lacks.
std::string PluginFileName(const std::string& hostPath)
{
    if (hostPath.empty())
        return {};
    const std::wstring w = WindowsPath(hostPath);
    bool lossy = false;
    std::string name = Narrow(w, CP_ACP, &lossy);
    if (lossy) {
        std::wstring shortName(MAX_PATH * 4, L'\0');
        const DWORD n = GetShortPathNameW(w.c_str(), &shortName[0], DWORD(shortName.size()));
        if (n > 0 && n < shortName.size()) {
            shortName.resize(n);
            bool stillLossy = false;
            std::string s = Narrow(shortName, CP_ACP, &stillLossy);
            if (!stillLossy)
                name = s;
        }
    }
    return name;
}

// A plug-in's text in UTF-8, cut to at most limit bytes without splitting a character.
std::string HostText(const char* text, size_t limit)
{
    std::string s = Narrow(Widen(text, textCodePage), CP_UTF8);
    if (s.size() > limit) {
        size_t cut = limit;
        while (cut > 0 && (uint8_t(s[cut]) & 0xC0) == 0x80)
            --cut;
        s.resize(cut);
    }
    return s;
}

// ---- requests ---------------------------------------------------------------------------------

Plugin* Find(uint32_t id)
{
    if (id == 0 || id > plugins.size() || !plugins[id - 1].module)
        return nullptr;
    return &plugins[id - 1];
}

// GetPluginInfo into a zeroed buffer a little larger than the length the plug-in is told.
int32_t AskInfo(const Plugin& p, int32_t number, int32_t length, std::string& text)
{
    std::vector<char> buffer(size_t(length) + 16, '\0');
    const int32_t result = p.getPluginInfo(number, buffer.data(), length);
    buffer[size_t(length)] = '\0';
    text = result > 0 ? HostText(buffer.data(), size_t(length)) : std::string();
    return result;
}

void Load(Request& rq)
{
    const std::string path = rq.Text();
    if (!rq.ok())
        ExitProcess(4);
    const std::wstring name = WindowsPath(path);
    HMODULE module = LoadLibraryExW(name.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) {
        const DWORD error = GetLastError();
        char reason[64];
        wsprintfA(reason, "LoadLibrary failed (error %lu)", static_cast<unsigned long>(error));
        Reply(Kind::LoadReply).U32(0).Text(reason).Send();
        return;
    }
    Plugin p;
    p.module = module;
    uint32_t exports = 0;
    for (int i = 0; i < kEntryPointCount; ++i)
        if (GetProcAddress(module, kEntryPointNames[i]))
            exports |= 1u << i;
    p.getPluginInfo = Export<GetPluginInfoFn>(module, "GetPluginInfo");
    p.isSupported = Export<IsSupportedFn>(module, "IsSupported");
    p.getPictureInfo = Export<GetPictureInfoFn>(module, "GetPictureInfo");
    p.getPicture = Export<GetPictureFn>(module, "GetPicture");
    p.getPreview = Export<GetPictureFn>(module, "GetPreview");
    plugins.push_back(p);

    // The information the host reads when it loads a plug-in, asked for ahead.
    struct Answer {
        int32_t number, result;
        std::string text;
    };
    std::vector<Answer> answers;
    if (p.getPluginInfo) {
        auto ask = [&](int32_t n) {
            Answer a{n, 0, {}};
            a.result = AskInfo(p, n, kInfoBufferLength, a.text);
            answers.push_back(a);
            return a.result > 0;
        };
        ask(0);
        ask(1);
        for (int32_t n = 2; n < kMaxInfoNumbers; n += 2)
            if (!ask(n) || !ask(n + 1))
                break;
    }
    Reply reply(Kind::LoadReply);
    reply.U32(uint32_t(plugins.size())).Text("").U32(exports).U32(uint32_t(answers.size()));
    for (const auto& a : answers)
        reply.I32(a.number).I32(a.result).Text(a.text);
    reply.Send();
}

void PluginInfo(Request& rq)
{
    const Plugin* p = Find(rq.U32());
    const int32_t number = rq.I32();
    const int32_t length = rq.I32();
    if (!rq.ok())
        ExitProcess(4);
    std::string text;
    int32_t result = 0;
    if (p && p->getPluginInfo && length > 0 && length <= 65536)
        result = AskInfo(*p, number, length, text);
    Reply(Kind::PluginInfoReply).I32(result).Text(text).Send();
}

void IsSupported(Request& rq)
{
    const Plugin* p = Find(rq.U32());
    const std::string name = PluginFileName(rq.Text());
    uint32_t headBytes = 0;
    const uint8_t* head = rq.Bytes(headBytes);
    if (!rq.ok() || headBytes != kHeadBytes)
        ExitProcess(4);
    // The plug-in may read its 2 KB and a little past it; a copy of our own keeps that in bounds.
    std::vector<uint8_t> copy(head, head + headBytes);
    copy.resize(headBytes + 64, 0);
    const int32_t result = p && p->isSupported ? p->isSupported(name.c_str(), copy.data()) : 0;
    Reply(Kind::Result).I32(result).Send();
}

// The source of a picture: a file name in the plug-in's code page, or bytes in memory.
struct Source {
    uint32_t flag = 0;
    intptr_t position = 0;
    std::string fileName;
    std::vector<uint8_t> memory;
    const char* Argument() const
    {
        return (flag & 7u) == kSourceMemory ? reinterpret_cast<const char*>(memory.data()) : fileName.c_str();
    }
};

Source ReadSource(Request& rq)
{
    Source s;
    s.flag = rq.U32();
    const int64_t position = rq.I64();
    if ((s.flag & 7u) == kSourceMemory) {
        uint32_t n = 0;
        const uint8_t* p = rq.Bytes(n);
        if (p) {
            s.memory.reserve(size_t(n) + 64);
            s.memory.assign(p, p + n);
        }
        s.position = intptr_t(n);
    } else {
        s.fileName = PluginFileName(rq.Text());
        s.position = intptr_t(position);
    }
    if (!rq.ok())
        ExitProcess(4);
    return s;
}

// A local-memory block's bytes, at most limit of them. The block is freed.
std::vector<uint8_t> TakeBlock(HLOCAL handle, size_t limit)
{
    std::vector<uint8_t> bytes;
    const SIZE_T size = LocalSize(handle);
    if (const void* p = LocalLock(handle)) {
        bytes.assign(static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + (size < limit ? size : limit));
        LocalUnlock(handle);
    }
    LocalFree(handle);
    return bytes;
}

void PictureInfo(Request& rq)
{
    const Plugin* p = Find(rq.U32());
    const Source source = ReadSource(rq);
    // The record as the plug-in sees it: 22 bytes and a handle, packed.
    uint8_t record[kPictureInfoRecordBytes + sizeof(HLOCAL)] = {};
    const int32_t result = p && p->getPictureInfo
                             ? p->getPictureInfo(source.Argument(), source.position, source.flag, record)
                             : -1;
    Reply reply(Kind::PictureInfoReply);
    reply.I32(result).Bytes(record, kPictureInfoRecordBytes);
    HLOCAL text = nullptr;
    std::memcpy(&text, record + kPictureInfoRecordBytes, sizeof text);
    std::vector<uint8_t> textBytes;
    if (result == 0 && text) {
        textBytes = TakeBlock(text, 1u << 20);
        reply.U8(1).Bytes(textBytes.data(), textBytes.size());
    } else {
        reply.U8(0).Bytes(nullptr, 0);
    }
    reply.Send();
}

// The host's answer to a progress report of the running plug-in.
int32_t __stdcall RelayProgress(int32_t done, int32_t total, intptr_t)
{
    Reply(Kind::Progress).I32(done).I32(total).Send();
    std::vector<uint8_t> body;
    if (NextRequest(body) != Kind::ProgressAnswer)
        ExitProcess(4);
    Request answer(std::move(body));
    const int32_t a = answer.I32();
    return answer.ok() ? a : 1;
}

// How many bytes of rows the bitmap header at info describes; 0 when it is not a bitmap header.
size_t ImageBytes(const std::vector<uint8_t>& info)
{
    if (info.size() < 40)
        return 0;
    int32_t width = 0, height = 0;
    uint16_t bitCount = 0;
    std::memcpy(&width, &info[4], 4);
    std::memcpy(&height, &info[8], 4);
    std::memcpy(&bitCount, &info[14], 2);
    if (width <= 0 || height == 0 || bitCount == 0 || bitCount > 32)
        return 0;
    const uint64_t rows = height < 0 ? uint64_t(-int64_t(height)) : uint64_t(height);
    const uint64_t bytes = (uint64_t(width) * bitCount + 31) / 32 * 4 * rows;
    return bytes > 0x7FFFFFFFu ? 0 : size_t(bytes);
}

void Picture(Request& rq)
{
    const Plugin* p = Find(rq.U32());
    const bool preview = rq.U8() != 0;
    const bool callback = rq.U8() != 0;
    const Source source = ReadSource(rq);
    const GetPictureFn entry = p ? (preview ? p->getPreview : p->getPicture) : nullptr;
    HLOCAL infoHandle = nullptr, bitsHandle = nullptr;
    const int32_t result = entry ? entry(source.Argument(), source.position, source.flag, &infoHandle, &bitsHandle,
                                         callback ? &RelayProgress : nullptr, 0)
                                 : -1;
    Reply reply(Kind::PictureReply);
    reply.I32(result);
    // After a failure the handles are not the host's, and not ours to free either.
    std::vector<uint8_t> info, bits;
    if (result == 0 && infoHandle) {
        info = TakeBlock(infoHandle, kMaxBitmapInfoBytes);
        reply.U8(1).Block(info.data(), info.size());
    } else {
        reply.U8(0).Block(nullptr, 0);
    }
    if (result == 0 && bitsHandle) {
        bits = TakeBlock(bitsHandle, ImageBytes(info));
        reply.U8(1).Block(bits.data(), bits.size());
    } else {
        reply.U8(0).Block(nullptr, 0);
    }
    reply.Send();
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* e)
{
    const uint32_t code = e && e->ExceptionRecord ? uint32_t(e->ExceptionRecord->ExceptionCode) : 0;
    uint8_t frame[9] = {5, 0, 0, 0, uint8_t(Kind::Crash)};
    std::memcpy(frame + 5, &code, 4);
    DWORD n = 0;
    WriteFile(protocolOut, frame, sizeof frame, &n, nullptr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

// The protocol gets the standard handles to itself; what plug-ins print goes to standard error
// and what they read comes from nowhere.
void TakeStandardHandles()
{
    const HANDLE self = GetCurrentProcess();
    DuplicateHandle(self, GetStdHandle(STD_INPUT_HANDLE), self, &protocolIn, 0, FALSE, DUPLICATE_SAME_ACCESS);
    DuplicateHandle(self, GetStdHandle(STD_OUTPUT_HANDLE), self, &protocolOut, 0, FALSE, DUPLICATE_SAME_ACCESS);
    const HANDLE nul = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                   nullptr);
    SetStdHandle(STD_INPUT_HANDLE, nul);
    SetStdHandle(STD_OUTPUT_HANDLE, GetStdHandle(STD_ERROR_HANDLE));
    _dup2(_fileno(stderr), _fileno(stdout));
    const int nulFd = _open("NUL", _O_RDONLY);
    if (nulFd >= 0)
        _dup2(nulFd, _fileno(stdin));
}

} // namespace

int main()
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(&OnCrash);
    TakeStandardHandles();
    if (const char* cp = getenv("GAZORIN_PLUGIN_CODEPAGE"))
        if (atoi(cp) > 0)
            textCodePage = UINT(atoi(cp));

    Reply(Kind::Hello).U32(kProtocolVersion).U32(uint32_t(sizeof(void*) * 8)).Send();
    for (;;) {
        std::vector<uint8_t> body;
        const Kind kind = NextRequest(body);
        Request rq(std::move(body));
        switch (kind) {
        case Kind::Load: Load(rq); break;
        case Kind::PluginInfo: PluginInfo(rq); break;
        case Kind::IsSupported: IsSupported(rq); break;
        case Kind::PictureInfo: PictureInfo(rq); break;
        case Kind::Picture: Picture(rq); break;
        default: ExitProcess(4); // the host and the bridge disagree: start afresh
        }
    }
}
