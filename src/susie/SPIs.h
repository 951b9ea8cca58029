#pragma once
// The Susie plug-in host: finds "*.spi" libraries, loads them, classifies each by the API kind
// it declares, keeps them for the life of the host and registers the extensions of every image
// plug-in with the picture-format registry.

#include "platform/Exceptions.h"
#include "platform/GraphicClass.h"
#include "susie/SPIModule.h"

#include "susie_plugin.h"

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace gz {

// The library could not be loaded.
class ESPIFOpenErrorSPI : public Exception {
public:
    explicit ESPIFOpenErrorSPI(const std::string& fileName);
};
// An entry point that the plug-in's class requires, or that a call needs, is missing.
class ESPIInvalidAPI : public Exception {
public:
    ESPIInvalidAPI(const std::string& entryPoint, const std::string& fileName);
};
// A second host was created.
class ESPIDupCreateSPIs : public Exception {
public:
    ESPIDupCreateSPIs();
};

class TSPI;

// Run-time plug-in classes: the class that CreateSPI chooses by API kind, and the classes that
// CollectLoaders filters by.
struct TSPIClass {
    std::string Name;
    const TSPIClass* Parent = nullptr;
    std::function<std::unique_ptr<TSPI>(const std::string& fileName)> Create;

    bool InheritsFrom(const TSPIClass& base) const
    {
        for (const TSPIClass* c = this; c; c = c->Parent)
            if (c == &base)
                return true;
        return false;
    }
};

const TSPIClass& SPIClass();
const TSPIClass& LoaderSPIClass();
const TSPIClass& InSPIClass();
const TSPIClass& AmSPIClass();
const TSPIClass& XnSPIClass();

// A loaded plug-in library. Also the class of a library whose API kind is none of the known ones.
class TSPI {
public:
    virtual ~TSPI();
    TSPI(const TSPI&) = delete;
    TSPI& operator=(const TSPI&) = delete;

    // Loads the library as a plain TSPI. Raises ESPIFOpenErrorSPI or ESPIInvalidAPI.
    static std::unique_ptr<TSPI> Create(const std::string& fileName);

    virtual const TSPIClass& ClassType() const { return SPIClass(); }
    bool InheritsFrom(const TSPIClass& cls) const { return ClassType().InheritsFrom(cls); }

    // The path of the loaded module as the loader reports it; the path opened when it reports none.
    const std::string& FileName() const { return fileName_; }
    // FileName with every symbolic link resolved: the file itself, however a folder spelled it.
    const std::string& ResolvedFileName() const { return resolvedFileName_; }
    const std::string& APIVersion() const { return apiVersion_; }
    const std::string& PluginName() const { return pluginName_; }
    // Entry i lists one or more patterns separated by ";"; Descriptions[i] describes them.
    const std::vector<std::string>& Extensions() const { return extensions_; }
    const std::vector<std::string>& Descriptions() const { return descriptions_; }
    bool HasEntryPoint(TSPIEntry entry) const { return module_ && module_->Has(entry); }

    std::int32_t GetPluginInfo(std::int32_t infoNumber, char* buffer, std::int32_t bufLength) const;

protected:
    TSPI() = default;
    // Raises ESPIInvalidAPI unless the entry points this class needs are present.
    virtual void CheckAPI() const;
    // Raises ESPIInvalidAPI when the entry point is absent.
    void Require(TSPIEntry entry) const;

    // Loads the library, looks up the entry points, checks them and reads the plug-in information.
    void Open(const std::string& fileName);

    template <class T>
    static std::unique_ptr<TSPI> Construct(const std::string& fileName)
    {
        std::unique_ptr<T> spi(new T);
        spi->Open(fileName);
        return spi;
    }
    friend const TSPIClass& SPIClass();
    friend const TSPIClass& LoaderSPIClass();
    friend const TSPIClass& InSPIClass();
    friend const TSPIClass& AmSPIClass();
    friend const TSPIClass& XnSPIClass();

    const TSPIModule& Module() const { return *module_; }

private:
    std::string ReadInfo(std::int32_t infoNumber, bool& present) const;

    std::unique_ptr<TSPIModule> module_; // declared first: unloaded after everything else is released
    std::string fileName_;
    std::string resolvedFileName_;
    std::string apiVersion_;
    std::string pluginName_;
    std::vector<std::string> extensions_;
    std::vector<std::string> descriptions_;
};

// A plug-in that reads files.
class TLoaderSPI : public TSPI {
public:
    const TSPIClass& ClassType() const override { return LoaderSPIClass(); }
    std::int32_t IsSupported(const char* fileName, const void* head) const;

protected:
    void CheckAPI() const override;
};

// An image plug-in, API kind "00IN".
class TInSPI : public TLoaderSPI {
public:
    const TSPIClass& ClassType() const override { return InSPIClass(); }
    std::int32_t GetPictureInfo(const char* source, std::intptr_t position, std::uint32_t flag,
                                SusiePictureInfo* info) const;
    std::int32_t GetPicture(const char* source, std::intptr_t position, std::uint32_t flag, SusieHandle* bitmapInfo,
                            SusieHandle* bits, SusieProgressCallback progress, std::intptr_t data) const;
    std::int32_t GetPreview(const char* source, std::intptr_t position, std::uint32_t flag, SusieHandle* bitmapInfo,
                            SusieHandle* bits, SusieProgressCallback progress, std::intptr_t data) const;

protected:
    void CheckAPI() const override;
};

// An archive plug-in, API kind "00AM": loaded and kept, never called.
class TAmSPI : public TLoaderSPI {
public:
    const TSPIClass& ClassType() const override { return AmSPIClass(); }

protected:
    void CheckAPI() const override;
};

// API kind "00XN": loaded and kept.
class TXnSPI : public TSPI {
public:
    const TSPIClass& ClassType() const override { return XnSPIClass(); }
};

enum TSPISearchOption { spsSusieDir, spsAppDir, spsCurrentDir, spsSystemDir, spsWindowsDir };

// A set of search options, one bit each in the order of the enumeration.
class TSPISearchOptions {
public:
    constexpr TSPISearchOptions() = default;
    constexpr TSPISearchOptions(std::initializer_list<TSPISearchOption> options)
    {
        for (auto o : options)
            bits_ |= std::uint8_t(1u << o);
    }
    constexpr bool Contains(TSPISearchOption o) const { return (bits_ >> o) & 1u; }
    constexpr std::uint8_t Bits() const { return bits_; }
    constexpr bool operator==(const TSPISearchOptions&) const = default;

private:
    std::uint8_t bits_ = 0;
};

class TSPIs;
class TSPIBackgroundSearch;
// Asked before a found file is loaded.
using TSPISearchingEvent = std::function<void(TSPIs& sender, const std::string& fileName, bool& accept)>;
// Asked after a plug-in object was created.
using TSPISearchEvent = std::function<void(TSPIs& sender, TSPI& spi, bool& accept)>;
// Asked for each extension before it is registered; may change the class or set it to null.
using TSPIPictureRegisterEvent = std::function<void(TSPIs& sender, TInSPI& spi, const std::string& extension,
                                                    const std::string& description, const TGraphicClass*& cls)>;

// The plug-in host. Only one may exist in the process at a time.
class TSPIs {
public:
    // Raises ESPIDupCreateSPIs when a host exists already.
    TSPIs();
    ~TSPIs();
    TSPIs(const TSPIs&) = delete;
    TSPIs& operator=(const TSPIs&) = delete;

    // The single host, or null.
    static TSPIs* Instance();

    // Called once the owner has applied its settings: searches "*.spi" when AutoSearch is on.
    void Loaded();
    // Loads the plug-ins matching the mask; a mask with a folder searches that folder only.
    // With background hooks set (SPIBackground.h), Windows plug-ins new to the cache are left
    // to a background thread and join the list later, in their places in the search order.
    void Search(const std::string& mask);
    // True while plug-ins that a search left to the background are not in the list yet.
    bool SearchPending() const { return !pending_.empty(); }
    // Waits for those plug-ins and takes them into the list and the registry now.
    void FinishSearch();

    void Add(std::unique_ptr<TSPI> spi);
    void Insert(int index, std::unique_ptr<TSPI> spi);
    void Delete(int index);
    void Clear();
    int Count() const { return int(list_.size()); }
    TSPI& Items(int index) const;
    // Position of the first plug-in whose FileName equals fileName (ASCII letter case ignored), or -1.
    int IndexOf(const std::string& fileName) const;
    // The plug-ins of the given classes: those claiming fileName's extension first (the one loaded
    // last first), then the others in load order.
    void CollectLoaders(const std::vector<const TSPIClass*>& classes, const std::string& fileName,
                        std::vector<TSPI*>& list) const;

    // Creates the plug-in object of the class its API kind chooses; null when the file is not
    // a usable plug-in.
    static std::unique_ptr<TSPI> CreateSPI(const std::string& fileName);

    static void SetDefaultGraphicClass(const TGraphicClass* cls);
    static const TGraphicClass* DefaultGraphicClass();
    // Offsets at which a picture may start inside a file: 0, and 128 after a MacBinary header.
    static constexpr std::array<int, 2> HeaderOffsets{0, 128};

    TSPISearchOptions SearchOptions{spsSusieDir, spsAppDir};
    bool AutoSearch = true;
    bool MacBinary = true;
    bool GraphicPreview = false;
    TInSPI* GraphicForcedLoader = nullptr;
    TSPISearchingEvent OnSearching;
    TSPISearchEvent OnSearch;
    TSPIPictureRegisterEvent OnPictureRegister;

private:
    void SearchDir(const std::string& folder, const std::string& pattern);
    // True when the file at path is loaded already, under this or any other name.
    bool IsLoaded(const std::string& path) const;
    void RegisterFormats(TInSPI& spi);

    // A Windows plug-in new to the cache that a search left to the background, and the plug-in
    // it follows in the search order (null: none).
    struct TPendingPlugin {
        std::string Path, ResolvedPath;
        const TSPI* After = nullptr;
    };
    // One registration that RegisterFormats made, so that it can be made again in list order.
    struct TRegistration {
        const TSPI* Spi;
        std::string Extension, Description;
        const TGraphicClass* Class;
    };
    void StartBackgroundSearch();
    // Takes the plug-ins in once the thread is done and the owner says the moment is right.
    void ApplyWhenSafe();
    // ApplyWhenSafe, for the owner's event loop: does nothing once this search is over.
    std::function<void()> ApplyLater();
    void TakeIn(const std::vector<TPendingPlugin>& pending, std::vector<std::unique_ptr<TSPI>> loaded);
    // Withdraws the registrations of the listed plug-ins and makes them again in list order;
    // plug-ins not in before register for the first time.
    void RegisterInListOrder(const std::vector<const TSPI*>& before);

    std::vector<std::unique_ptr<TSPI>> list_;
    std::vector<TRegistration> registrations_;
    std::vector<TPendingPlugin> pending_;
    std::shared_ptr<TSPIBackgroundSearch> background_; // loading pending_, once started
};

// Folders the host may search, as this platform names them.
std::string SusiePluginFolder();     // from the registry store; empty when not set
std::string ApplicationFolder();     // folder of the running executable
std::string SystemPluginFolder();    // the system's shared-library folder
std::string OperatingSystemFolder(); // the folder the operating system's files are installed under

// True when name matches the pattern ('*' any run, '?' one character), ASCII letter case ignored.
bool MatchesMask(const std::string& name, const std::string& pattern);

} // namespace gz
