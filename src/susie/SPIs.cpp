#include "susie/SPIs.h"

#include "platform/FileExtension.h"
#include "registry/PictureFormats.h"
#include "susie/SPIBackground.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace gz {
namespace {

TSPIs* singleInstance = nullptr;
const TGraphicClass* defaultGraphicClass = nullptr;

bool SameTextAscii(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = x - 'A' + 'a';
        if (y >= 'A' && y <= 'Z')
            y = y - 'A' + 'a';
        if (x != y)
            return false;
    }
    return true;
}

std::string ResolvedPath(const std::string& path)
{
    std::error_code ec;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : resolved.string();
}

} // namespace

// ---- errors ------------------------------------------------------------------------------

ESPIFOpenErrorSPI::ESPIFOpenErrorSPI(const std::string& fileName)
    : Exception(fileName + ":Susie Pluginがロードできませんでした")
{
}

ESPIInvalidAPI::ESPIInvalidAPI(const std::string& entryPoint, const std::string& fileName)
    : Exception(entryPoint + "は[" + fileName + "]では使えないSusie Plugin APIです")
{
}

ESPIDupCreateSPIs::ESPIDupCreateSPIs() : Exception("TSPIs は複数生成できません") {}

// ---- classes -----------------------------------------------------------------------------

const TSPIClass& SPIClass()
{
    static const TSPIClass cls{"TSPI", nullptr, &TSPI::Construct<TSPI>};
    return cls;
}
const TSPIClass& LoaderSPIClass()
{
    static const TSPIClass cls{"TLoaderSPI", &SPIClass(), &TSPI::Construct<TLoaderSPI>};
    return cls;
}
const TSPIClass& InSPIClass()
{
    static const TSPIClass cls{"TInSPI", &LoaderSPIClass(), &TSPI::Construct<TInSPI>};
    return cls;
}
const TSPIClass& AmSPIClass()
{
    static const TSPIClass cls{"TAmSPI", &LoaderSPIClass(), &TSPI::Construct<TAmSPI>};
    return cls;
}
const TSPIClass& XnSPIClass()
{
    static const TSPIClass cls{"TXnSPI", &SPIClass(), &TSPI::Construct<TXnSPI>};
    return cls;
}

// ---- TSPI --------------------------------------------------------------------------------

TSPI::~TSPI() = default;

std::unique_ptr<TSPI> TSPI::Create(const std::string& fileName) { return SPIClass().Create(fileName); }

void TSPI::Open(const std::string& fileName)
{
    module_ = OpenSPIModule(fileName);
    fileName_ = module_->FileName();
    resolvedFileName_ = ResolvedPath(fileName_);
    try {
        CheckAPI();
    } catch (const ESPIInvalidAPI& e) {
        module_->Skipped(e.Message());
        throw;
    }

    bool present = false;
    apiVersion_ = ReadInfo(0, present);
    pluginName_ = ReadInfo(1, present);
    // Pairs of patterns and description; numbering ends at the first gap.
    for (std::int32_t n = 2; n > 0 && n < 0x7FFFFFFE; n += 2) {
        bool hasPatterns = false, hasDescription = false;
        std::string patterns = ReadInfo(n, hasPatterns);
        if (!hasPatterns)
            break;
        std::string description = ReadInfo(n + 1, hasDescription);
        if (!hasDescription)
            break;
        extensions_.push_back(std::move(patterns));
        descriptions_.push_back(std::move(description));
    }
}

std::string TSPI::ReadInfo(std::int32_t infoNumber, bool& present) const
{
    char buffer[256];
    std::memset(buffer, 0, sizeof buffer);
    present = GetPluginInfo(infoNumber, buffer, 255) > 0;
    if (!present)
        return {};
    buffer[255] = '\0';
    return std::string(buffer);
}

void TSPI::Require(TSPIEntry entry) const
{
    if (!HasEntryPoint(entry))
        throw ESPIInvalidAPI(SPIEntryName(entry), fileName_);
}

void TSPI::CheckAPI() const { Require(speGetPluginInfo); }

std::int32_t TSPI::GetPluginInfo(std::int32_t infoNumber, char* buffer, std::int32_t bufLength) const
{
    Require(speGetPluginInfo);
    return module_->GetPluginInfo(infoNumber, buffer, bufLength);
}

void TLoaderSPI::CheckAPI() const
{
    TSPI::CheckAPI();
    Require(speIsSupported);
}

std::int32_t TLoaderSPI::IsSupported(const char* fileName, const void* head) const
{
    Require(speIsSupported);
    return Module().IsSupported(fileName, head);
}

void TInSPI::CheckAPI() const
{
    TLoaderSPI::CheckAPI();
    Require(speGetPictureInfo);
    Require(speGetPicture);
}

std::int32_t TInSPI::GetPictureInfo(const char* source, std::intptr_t position, std::uint32_t flag,
                                    SusiePictureInfo* info) const
{
    Require(speGetPictureInfo);
    return Module().GetPictureInfo(source, position, flag, info);
}

std::int32_t TInSPI::GetPicture(const char* source, std::intptr_t position, std::uint32_t flag,
                                SusieHandle* bitmapInfo, SusieHandle* bits, SusieProgressCallback progress,
                                std::intptr_t data) const
{
    Require(speGetPicture);
    return Module().GetPicture(false, source, position, flag, bitmapInfo, bits, progress, data);
}

std::int32_t TInSPI::GetPreview(const char* source, std::intptr_t position, std::uint32_t flag,
                                SusieHandle* bitmapInfo, SusieHandle* bits, SusieProgressCallback progress,
                                std::intptr_t data) const
{
    Require(speGetPreview);
    return Module().GetPicture(true, source, position, flag, bitmapInfo, bits, progress, data);
}

void TAmSPI::CheckAPI() const
{
    TLoaderSPI::CheckAPI();
    Require(speGetArchiveInfo);
    Require(speGetFileInfo);
    Require(speGetFile);
}

// ---- TSPIs -------------------------------------------------------------------------------

TSPIs::TSPIs()
{
    if (singleInstance)
        throw ESPIDupCreateSPIs();
    singleInstance = this;
}

TSPIs::~TSPIs()
{
    if (!pending_.empty())
        SetPictureFormatsSettle(nullptr);
    background_.reset(); // gives up plug-ins still being loaded
    if (singleInstance == this)
        singleInstance = nullptr;
    Clear();
}

TSPIs* TSPIs::Instance() { return singleInstance; }

void TSPIs::SetDefaultGraphicClass(const TGraphicClass* cls) { defaultGraphicClass = cls; }
const TGraphicClass* TSPIs::DefaultGraphicClass() { return defaultGraphicClass; }

void TSPIs::Loaded()
{
    if (AutoSearch)
        Search("*.spi");
}

void TSPIs::Add(std::unique_ptr<TSPI> spi) { Insert(Count(), std::move(spi)); }

void TSPIs::Insert(int index, std::unique_ptr<TSPI> spi)
{
    if (!spi)
        throw std::invalid_argument("TSPIs::Insert: no plug-in");
    if (index < 0 || index > Count())
        throw std::out_of_range("TSPIs::Insert: list index out of bounds");
    TSPI* added = spi.get();
    list_.insert(list_.begin() + index, std::move(spi));
    if (auto* in = dynamic_cast<TInSPI*>(added)) {
        try {
            RegisterFormats(*in);
        } catch (...) {
            // The caller sees the failure and must not find a half-added plug-in in the list.
            const auto it = std::find_if(list_.begin(), list_.end(), [&](const auto& p) { return p.get() == added; });
            if (it != list_.end())
                list_.erase(it);
            throw;
        }
    }
}

void TSPIs::Delete(int index)
{
    if (index < 0 || index >= Count())
        throw std::out_of_range("TSPIs::Delete: list index out of bounds");
    const TSPI* deleted = list_[std::size_t(index)].get();
    if (GraphicForcedLoader == deleted)
        GraphicForcedLoader = nullptr;
    // Its registrations stay; plug-ins still to come that followed it follow its predecessor.
    std::erase_if(registrations_, [&](const TRegistration& r) { return r.Spi == deleted; });
    for (auto& p : pending_)
        if (p.After == deleted)
            p.After = index > 0 ? list_[std::size_t(index) - 1].get() : nullptr;
    list_.erase(list_.begin() + index);
}

void TSPIs::Clear()
{
    while (!list_.empty())
        Delete(0);
}

TSPI& TSPIs::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw std::out_of_range("TSPIs::Items: list index out of bounds");
    return *list_[std::size_t(index)];
}

int TSPIs::IndexOf(const std::string& fileName) const
{
    for (std::size_t i = 0; i < list_.size(); ++i)
        if (SameTextAscii(list_[i]->FileName(), fileName))
            return int(i);
    return -1;
}

void TSPIs::RegisterFormats(TInSPI& spi)
{
    const auto& extensions = spi.Extensions();
    const auto& descriptions = spi.Descriptions();
    for (std::size_t i = 0; i < extensions.size() && i < descriptions.size(); ++i) {
        std::string rest = extensions[i];
        while (!rest.empty()) {
            std::string item;
            if (const auto semi = rest.rfind(';'); semi != std::string::npos) {
                item = rest.substr(semi + 1);
                rest.erase(semi);
            } else {
                item = std::move(rest);
                rest.clear();
            }
            const auto dot = item.find('.');
            const std::string extension = dot == std::string::npos ? item : item.substr(dot + 1);
            const TGraphicClass* cls = defaultGraphicClass;
            if (OnPictureRegister)
                OnPictureRegister(*this, spi, extension, descriptions[i], cls);
            if (cls) {
                AppendPictureFormat(extension, descriptions[i], *cls);
                registrations_.push_back({&spi, extension, descriptions[i], cls});
            }
        }
    }
}

void TSPIs::CollectLoaders(const std::vector<const TSPIClass*>& classes, const std::string& fileName,
                           std::vector<TSPI*>& list) const
{
    const std::string ext = FileExtension(fileName);
    for (const auto& spi : list_) {
        const bool wanted = std::any_of(classes.begin(), classes.end(),
                                        [&](const TSPIClass* c) { return c && spi->InheritsFrom(*c); });
        if (!wanted)
            continue;
        bool claims = false;
        if (!ext.empty())
            for (const std::string& entry : spi->Extensions()) {
                const auto dot = entry.rfind('.');
                if (dot != std::string::npos && SameTextAscii(entry.substr(dot), ext)) {
                    claims = true;
                    break;
                }
            }
        if (claims)
            list.insert(list.begin(), spi.get());
        else
            list.push_back(spi.get());
    }
}

std::unique_ptr<TSPI> TSPIs::CreateSPI(const std::string& fileName)
{
    try {
        const std::unique_ptr<TSPI> plain = TSPI::Create(fileName);
        const TSPIClass* cls = &SPIClass();
        if (plain->APIVersion() == "00IN")
            cls = &InSPIClass();
        else if (plain->APIVersion() == "00AM")
            cls = &AmSPIClass();
        else if (plain->APIVersion() == "00XN")
            cls = &XnSPIClass();
        return cls->Create(fileName); // the plain object goes after: the library stays loaded
    } catch (const ESPIFOpenErrorSPI&) {
        return nullptr;
    } catch (const ESPIInvalidAPI&) {
        return nullptr;
    }
}

} // namespace gz
