#include "registry/PictureFormats.h"

#include "platform/Exceptions.h"
#include "platform/FileExtension.h"
#include "platform/Graphic.h"
#include "platform/Icon.h"
#include "platform/metafile/Metafile.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace gz {

namespace {

struct PictureFormat {
    std::string extension;
    std::string description;
    const TGraphicClass* cls;
};

std::string LowerCase(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

std::vector<PictureFormat> BuiltInFormats()
{
    return {{"wmf", "メタファイル", &MetafileClass()},
            {"emf", "エンハンス メタファイル", &MetafileClass()},
            {"ico", "アイコン", &IconClass()},
            {"bmp", "ビットマップ", &BitmapClass()}};
}

std::function<void()>& Settle()
{
    static std::function<void()> settle;
    return settle;
}

// Lets whoever still adds formats finish before the table is read.
void SettleFormats()
{
    if (const auto settle = Settle()) // a copy: the hook may clear itself
        settle();
}

// Oldest entry first; created with the built-in entries on first use.
std::vector<PictureFormat>& Formats()
{
    static std::vector<PictureFormat> formats = BuiltInFormats();
    return formats;
}

} // namespace

void AppendPictureFormat(const std::string& extension, const std::string& description, const TGraphicClass& cls)
{
    Formats().push_back({LowerCase(extension), description, &cls});
}

void RemovePictureClass(const TGraphicClass& cls)
{
    auto& formats = Formats();
    std::erase_if(formats, [&](const PictureFormat& f) { return f.cls->InheritsFrom(cls); });
}

void RemovePictureFormat(const std::string& extension, const std::string& description, const TGraphicClass& cls)
{
    const std::string stored = LowerCase(extension);
    auto& formats = Formats();
    for (auto it = formats.rbegin(); it != formats.rend(); ++it)
        if (it->cls == &cls && it->extension == stored && it->description == description) {
            formats.erase(std::next(it).base());
            return;
        }
}

void SetPictureFormatsSettle(std::function<void()> settle) { Settle() = std::move(settle); }

const TGraphicClass* FindPictureClass(const std::string& extension)
{
    SettleFormats();
    const std::string wanted = LowerCase(extension);
    const auto& formats = Formats();
    for (auto it = formats.rbegin(); it != formats.rend(); ++it)
        if (it->extension == wanted)
            return it->cls;
    return nullptr;
}

std::string BuildPictureFilter(const TGraphicClass& base)
{
    SettleFormats();
    std::string entries, masks;
    int count = 0;
    const auto& formats = Formats();
    for (auto it = formats.rbegin(); it != formats.rend(); ++it) {
        if (!it->cls->InheritsFrom(base) || it->extension.empty())
            continue;
        if (count > 0) {
            entries += "|";
            masks += ";";
        }
        entries += it->description + " (*." + it->extension + ")|*." + it->extension;
        masks += "*." + it->extension;
        ++count;
    }
    if (count > 1)
        return "すべてのファイル (" + masks + ")|" + masks + "|" + entries;
    return entries;
}

std::unique_ptr<TGraphic> LoadPictureByExtension(const std::string& fileName)
{
    // Only the last path component counts: a dot in a folder name is no extension.
    const std::string dotted = FileExtension(fileName);
    const std::string extension = dotted.empty() ? dotted : dotted.substr(1);

    const TGraphicClass* cls = FindPictureClass(extension);
    if (!cls)
        throw EInvalidGraphic("拡張子 ." + extension + " の画像形式は処理できません");
    if (!cls->Create)
        throw EInvalidGraphic("The picture class " + cls->Name + " cannot be created");
    std::unique_ptr<TGraphic> picture = cls->Create();
    picture->LoadFromFile(fileName);
    return picture;
}

void ResetPictureFormats() { Formats() = BuiltInFormats(); }

} // namespace gz
