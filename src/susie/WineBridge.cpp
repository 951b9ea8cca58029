#include "susie/WineBridge.h"

#include "susie/SPIs.h"
#include "susie/WineChannel.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <set>

extern char** environ;

namespace fs = std::filesystem;

namespace gz {

using bridge::Kind;

namespace {

constexpr auto kStartTimeout = std::chrono::seconds(60);
constexpr auto kPrefixCreationTimeout = std::chrono::seconds(300);

std::chrono::milliseconds callTimeout{0}; // 0: not set yet

std::string EnvOr(const char* name, const std::string& otherwise)
{
    const char* v = std::getenv(name);
    return v && *v ? std::string(v) : otherwise;
}

std::string FindOnPath(const std::string& name)
{
    const std::string path = EnvOr("PATH", "/usr/bin:/bin");
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find(':', start), path.size());
        const std::string dir = path.substr(start, end - start);
        const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

} // namespace

void LogOnce(const std::string& message)
{
    static std::mutex lock;
    static std::set<std::string> logged;
    const std::lock_guard<std::mutex> guard(lock);
    if (logged.insert(message).second)
        std::cerr << program_invocation_short_name << ": " << message << std::endl;
}

std::string WineProgram()
{
    const std::string wine = EnvOr("GAZORIN_WINE", "wine");
    if (wine.find('/') != std::string::npos)
        return access(wine.c_str(), X_OK) == 0 ? wine : std::string();
    return FindOnPath(wine);
}

std::string WineBridgeProgram(int bits)
{
    return ApplicationFolder() + (bits == 64 ? "/gazorin-bridge64.exe" : "/gazorin-bridge32.exe");
}

std::string WinePrefixFolder()
{
    if (const std::string own = EnvOr("GAZORIN_WINEPREFIX", ""); !own.empty())
        return own;
    const std::string cache = EnvOr("XDG_CACHE_HOME", EnvOr("HOME", "/tmp") + "/.cache");
    return cache + "/gazorin/wine";
}

bool WinePrefixReady()
{
    std::error_code ec;
    return fs::exists(fs::path(WinePrefixFolder()) / "system.reg", ec);
}

void TWineBridge::SetCallTimeout(std::chrono::milliseconds timeout) { callTimeout = timeout; }

std::chrono::milliseconds TWineBridge::CallTimeout()
{
    if (callTimeout.count() == 0) {
        const double seconds = std::atof(EnvOr("GAZORIN_PLUGIN_TIMEOUT", "30").c_str());
        callTimeout = std::chrono::milliseconds(seconds > 0 ? std::int64_t(seconds * 1000) : 30000);
    }
    return callTimeout;
}

// ---- the bridge process -----------------------------------------------------------------------

TWineBridge::TWineBridge(int bits) : bits_(bits), wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

TWineBridge::~TWineBridge()
{
    if (wake_ >= 0)
        close(wake_);
    // Closing the pipes ends the bridge; a bridge that does not notice is not waited for.
    channel_.reset();
    if (pid_ > 0)
        waitpid(pid_, nullptr, WNOHANG);
}

bool TWineBridge::Start()
{
    if (pid_ > 0 && greeted_) {
        // A bridge that ended while it was idle is replaced before it is asked anything.
        if (waitpid(pid_, nullptr, WNOHANG) == 0)
            return true;
        channel_.reset();
        pid_ = -1;
        loaded_.clear();
    }
    Launch();
    if (pid_ <= 0)
        return false;
    channel_->SetDeadline(creatingPrefix_ ? kPrefixCreationTimeout : kStartTimeout);
    Kind kind{};
    std::uint32_t version = 0, pointerBits = 0;
    if (channel_->Next(kind) && kind == Kind::Hello && channel_->ReadU32(version) && channel_->ReadU32(pointerBits) &&
        channel_->End() && version == bridge::kProtocolVersion && int(pointerBits) == bits_) {
        greeted_ = true;
        failure_.clear();
        return true;
    }
    if (cancelled_) {
        Fail(channel_->Reason());
        return false;
    }
    std::string problem = channel_->Broken() ? channel_->Reason() : std::string("the bridge program does not match");
    if (bits_ == 32)
        problem += "; 32-bit plug-ins need Wine's 32-bit part (wine32)";
    Stop();
    NotAvailable(problem);
    return false;
}

void TWineBridge::Launch()
{
    if (pid_ > 0 || startFailed_ || cancelled_)
        return;
    const std::string program = WineBridgeProgram(bits_);
    const std::string wine = WineProgram();
    if (access(program.c_str(), R_OK) != 0)
        return NotAvailable("the bridge program " + program + " is missing");
    if (wine.empty())
        return NotAvailable("Wine is not installed (no \"wine\" on the search path)");
    const std::string prefix = WinePrefixFolder();
    std::error_code ec;
    fs::create_directories(fs::path(prefix).parent_path(), ec);
    creatingPrefix_ = !WinePrefixReady();
    if (creatingPrefix_)
        LogOnce("preparing Wine for Windows plug-ins in " + prefix + " (once; this takes a while)");
    greeted_ = false;
    if (!Spawn(wine, program, prefix))
        NotAvailable(failure_);
}

void TWineBridge::NotAvailable(const std::string& problem)
{
    startFailed_ = true;
    failure_ = problem;
    LogOnce("Windows plug-ins (" + std::to_string(bits_) + "-bit) are not available: " + problem);
}

bool TWineBridge::Spawn(const std::string& wine, const std::string& program, const std::string& prefix)
{
    // The bridge's environment: our own Wine prefix, quiet Wine, no windows, no installers.
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        if (name == "WINEPREFIX" || name == "WINEARCH" || name == "WINEDEBUG" || name == "WINEDLLOVERRIDES" ||
            name == "DISPLAY" || name == "WAYLAND_DISPLAY")
            continue;
        env.push_back(entry);
    }
    env.push_back("WINEPREFIX=" + prefix);
    env.push_back("WINEDEBUG=" + EnvOr("GAZORIN_WINEDEBUG", "-all"));
    env.push_back("WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d");
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string arg0 = wine, arg1 = program;
    char* argv[] = {arg0.data(), arg1.data(), nullptr};

    int toBridge[2], fromBridge[2];
    if (pipe2(toBridge, O_CLOEXEC) != 0) {
        failure_ = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    if (pipe2(fromBridge, O_CLOEXEC) != 0) {
        failure_ = std::string("pipe: ") + std::strerror(errno);
        close(toBridge[0]);
        close(toBridge[1]);
        return false;
    }
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        // Only calls that are safe after fork: the bridge ends with us even while a plug-in
        // hangs. (With the thread that forks, in fact: see StopIfStartedOnThisThread.)
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        dup2(toBridge[0], 0);
        dup2(fromBridge[1], 1);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        signal(SIGPIPE, SIG_DFL);
        execve(argv[0], argv, envp.data());
        _exit(127);
    }
    close(toBridge[0]);
    close(fromBridge[1]);
    if (pid < 0) {
        failure_ = std::string("fork: ") + std::strerror(errno);
        close(toBridge[1]);
        close(fromBridge[0]);
        return false;
    }
    fcntl(toBridge[1], F_SETFL, O_NONBLOCK);
    fcntl(fromBridge[0], F_SETFL, O_NONBLOCK);
    pid_ = pid;
    spawner_ = std::this_thread::get_id();
    channel_ = std::make_unique<TWineChannel>(toBridge[1], fromBridge[0], pid);
    channel_->SetCancel(&cancelled_, wake_);
    return true;
}

void TWineBridge::Stop()
{
    channel_.reset();
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
    greeted_ = false;
    loaded_.clear();
}

void TWineBridge::Fail(const std::string& reason)
{
    failure_ = reason;
    Stop();
}

TWineChannel* TWineBridge::Prepare(Kind kind)
{
    if (busy_ || !Start())
        return nullptr;
    channel_->SetDeadline(CallTimeout());
    channel_->Begin(kind);
    return channel_.get();
}

void TWineBridge::Reset()
{
    Stop();
    startFailed_ = false;
    failure_.clear();
    if (cancelled_.exchange(false) && wake_ >= 0) {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t n = read(wake_, &count, sizeof count);
    }
}

void TWineBridge::StopIfStartedOnThisThread()
{
    if (pid_ > 0 && spawner_ == std::this_thread::get_id())
        Stop();
}

void TWineBridge::Cancel()
{
    if (cancelled_.exchange(true) || wake_ < 0)
        return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(wake_, &one, sizeof one);
}

std::optional<TWineLoadResult> TWineBridge::Load(const std::string& path, const std::string& key)
{
    if (busy_ || !Start())
        return std::nullopt;
    if (const auto it = loaded_.find(key); it != loaded_.end())
        return it->second;
    TWineChannel* channel = Prepare(Kind::Load);
    if (!channel)
        return std::nullopt;
    TWineChannel& c = *channel;
    c.Text(path);
    TWineLoadResult r;
    Kind kind{};
    std::uint32_t count = 0;
    bool ok = c.Send() && c.Next(kind) && kind == Kind::LoadReply && c.ReadU32(r.Id) && c.ReadText(r.Reason) &&
              c.ReadU32(r.Exports) && c.ReadU32(count) && count <= std::uint32_t(bridge::kMaxInfoNumbers);
    for (std::uint32_t i = 0; ok && i < count; ++i) {
        TWinePluginInfoAnswer a;
        ok = c.ReadI32(a.Number) && c.ReadI32(a.Result) && c.ReadText(a.Text, 4096);
        r.Infos.push_back(std::move(a));
    }
    if (!ok || !c.End()) {
        Fail(c.Broken() ? c.Reason() + " while loading " + path : "a malformed answer from the bridge");
        return std::nullopt;
    }
    if (r.Id != 0)
        loaded_[key] = r;
    return r;
}

std::optional<std::int32_t> TWineBridge::GetPluginInfo(std::uint32_t id, std::int32_t number, std::int32_t length,
                                                       std::string& text)
{
    TWineChannel* channel = Prepare(Kind::PluginInfo);
    if (!channel)
        return std::nullopt;
    TWineChannel& c = *channel;
    c.U32(id);
    c.U32(std::uint32_t(number));
    c.U32(std::uint32_t(length));
    Kind kind{};
    std::int32_t result = 0;
    if (c.Send() && c.Next(kind) && kind == Kind::PluginInfoReply && c.ReadI32(result) && c.ReadText(text) && c.End())
        return result;
    Fail(c.Broken() ? c.Reason() : "a malformed answer from the bridge");
    return std::nullopt;
}

std::optional<std::int32_t> TWineBridge::IsSupported(std::uint32_t id, const std::string& fileName, const void* head)
{
    TWineChannel* channel = Prepare(Kind::IsSupported);
    if (!channel)
        return std::nullopt;
    TWineChannel& c = *channel;
    c.U32(id);
    c.Text(fileName);
    c.Tail(head, bridge::kHeadBytes);
    Kind kind{};
    std::int32_t result = 0;
    if (c.Send() && c.Next(kind) && kind == Kind::Result && c.ReadI32(result) && c.End())
        return result;
    Fail(c.Broken() ? c.Reason() : "a malformed answer from the bridge");
    return std::nullopt;
}

namespace {

// The source fields of a request; false when the source cannot be sent.
bool PutSource(auto& c, const char* source, std::intptr_t position, std::uint32_t flag)
{
    c.U32(flag);
    if ((flag & SPI_SOURCE_MASK) == bridge::kSourceMemory) {
        if (!source || position <= 0 || std::uint64_t(position) > 0x7FF00000u)
            return false;
        c.I64(position);
        c.Tail(source, std::size_t(position));
    } else {
        c.I64(position);
        c.Text(source ? std::string(source) : std::string());
    }
    return true;
}

} // namespace

std::optional<std::int32_t> TWineBridge::GetPictureInfo(std::uint32_t id, const char* source, std::intptr_t position,
                                                        std::uint32_t flag, SusiePictureInfo& info)
{
    TWineChannel* channel = Prepare(Kind::PictureInfo);
    if (!channel)
        return std::nullopt;
    TWineChannel& c = *channel;
    c.U32(id);
    if (!PutSource(c, source, position, flag))
        return SPI_OTHER_ERROR;
    Kind kind{};
    std::int32_t result = 0;
    std::string record;
    std::uint8_t hasText = 0;
    SusieHandle text = nullptr;
    if (c.Send() && c.Next(kind) && kind == Kind::PictureInfoReply && c.ReadI32(result) &&
        c.ReadText(record, bridge::kPictureInfoRecordBytes) && record.size() == bridge::kPictureInfoRecordBytes &&
        c.ReadU8(hasText) && c.ReadBlock(text, TWineChannel::kMaxTextBytes) && c.End()) {
        std::memcpy(&info, record.data(), record.size());
        if (hasText && result == 0) {
            info.hInfo = text;
        } else {
            LocalFree(text);
            info.hInfo = nullptr;
        }
        return result;
    }
    if (text)
        LocalFree(text);
    Fail(c.Broken() ? c.Reason() : "a malformed answer from the bridge");
    return std::nullopt;
}

std::optional<std::int32_t> TWineBridge::GetPicture(std::uint32_t id, bool preview, const char* source,
                                                    std::intptr_t position, std::uint32_t flag, SusieHandle& info,
                                                    SusieHandle& bits, SusieProgressCallback progress,
                                                    std::intptr_t data)
{
    info = bits = nullptr;
    TWineChannel* channel = Prepare(Kind::Picture);
    if (!channel)
        return std::nullopt;
    TWineChannel& c = *channel;
    c.U32(id);
    c.U8(preview ? 1 : 0);
    c.U8(progress ? 1 : 0);
    if (!PutSource(c, source, position, flag))
        return SPI_OTHER_ERROR;
    Kind kind{};
    bool ok = c.Send() && c.Next(kind);
    // Progress reports, each answered with what the host's callback says; each keeps the call
    // alive. A call made from inside the callback finds the bridge busy and fails.
    busy_ = true;
    while (ok && kind == Kind::Progress) {
        std::int32_t done = 0, total = 0;
        ok = c.ReadI32(done) && c.ReadI32(total) && c.End();
        if (!ok)
            break;
        const std::int32_t answer = progress ? progress(done, total, data) : 0;
        c.SetDeadline(CallTimeout());
        c.Begin(Kind::ProgressAnswer);
        c.U32(std::uint32_t(answer));
        ok = c.Send() && c.Next(kind);
    }
    busy_ = false;
    std::int32_t result = 0;
    std::uint8_t hasInfo = 0, hasBits = 0;
    SusieHandle infoBlock = nullptr, bitsBlock = nullptr;
    ok = ok && kind == Kind::PictureReply && c.ReadI32(result) && c.ReadU8(hasInfo) &&
         c.ReadBlock(infoBlock, bridge::kMaxBitmapInfoBytes) && c.ReadU8(hasBits) &&
         c.ReadBlock(bitsBlock, 0x7FFFFFFFu) && c.End();
    if (!ok) {
        LocalFree(infoBlock);
        LocalFree(bitsBlock);
        Fail(c.Broken() ? c.Reason() : "a malformed answer from the bridge");
        return std::nullopt;
    }
    if (result == 0 && hasInfo)
        info = infoBlock;
    else
        LocalFree(infoBlock);
    if (result == 0 && hasBits)
        bits = bitsBlock;
    else
        LocalFree(bitsBlock);
    return result;
}

TWineBridge& WineBridge(int bits)
{
    static TWineBridge bridge32(32), bridge64(64);
    return bits == 64 ? bridge64 : bridge32;
}

} // namespace gz
