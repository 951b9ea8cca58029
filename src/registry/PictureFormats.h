#pragma once
// The picture-format registry: the process-wide, ordered table of (extension, description,
// picture class), the file-dialog filter built from it and the by-extension picture loader.

#include "platform/GraphicClass.h"

#include <functional>
#include <memory>
#include <string>

namespace gz {

class TGraphic;

// Appends an entry; the extension is stored lower-cased. A newer entry for the same
// extension wins every lookup; the older one stays.
void AppendPictureFormat(const std::string& extension, const std::string& description, const TGraphicClass& cls);
// Removes every entry whose class is cls or a descendant of it.
void RemovePictureClass(const TGraphicClass& cls);
// Removes the newest entry with this extension (any letter case), description and class.
void RemovePictureFormat(const std::string& extension, const std::string& description, const TGraphicClass& cls);
// Run before every lookup and filter, so that formats still being found are in the table when
// it is read; an empty function (the default) runs nothing.
void SetPictureFormatsSettle(std::function<void()> settle);
// The class registered for the extension (any letter case), newest entry first; null if none.
const TGraphicClass* FindPictureClass(const std::string& extension);
// The file-dialog filter of the entries whose class descends from base.
std::string BuildPictureFilter(const TGraphicClass& base);
// Creates a picture of the class registered for the file's extension and loads the file.
// Raises EInvalidGraphic "拡張子 .%s の画像形式は処理できません" when no class claims it;
// a reader's own failure passes through unchanged.
std::unique_ptr<TGraphic> LoadPictureByExtension(const std::string& fileName);

// Puts the table back to its state on first use: the four built-in entries only. For tests.
void ResetPictureFormats();

} // namespace gz
