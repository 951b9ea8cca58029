#include "platform/Bitmap.h"
#include "platform/Exceptions.h"
#include "platform/Icon.h"
#include "platform/Streams.h"
#include "platform/metafile/Metafile.h"
#include "registry/PictureFormats.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace gz;
namespace fs = std::filesystem;

namespace {

// A picture class whose reader takes any file that does not begin with "bad".
class TFakePicture : public TGraphic {
public:
    std::string ClassName() const override { return "TFakePicture"; }
    void LoadFromStream(TStream& stream) override
    {
        std::string text(std::size_t(stream.Size()), '\0');
        stream.ReadBuffer(text.data(), text.size());
        if (text.rfind("bad", 0) == 0)
            throw EInvalidGraphic("the fake reader refuses this");
        size_ = int(text.size());
    }
    void SaveToStream(TStream&) const override {}
    void Draw(TCanvas&, const TRect&) const override {}
    int Width() const override { return size_; }
    int Height() const override { return 1; }
    void SetWidth(int) override {}
    void SetHeight(int) override {}
    bool Empty() const override { return size_ == 0; }

private:
    int size_ = 0;
};

const TGraphicClass& FakeClass()
{
    static const TGraphicClass cls{"TFakePicture", &GraphicBaseClass(), [] { return std::make_unique<TFakePicture>(); }};
    return cls;
}
const TGraphicClass& FakeChildClass()
{
    static const TGraphicClass cls{"TFakeChild", &FakeClass(), [] { return std::make_unique<TFakePicture>(); }};
    return cls;
}
const TGraphicClass& OtherClass()
{
    static const TGraphicClass cls{"TOther", &GraphicBaseClass(), [] { return std::make_unique<TFakePicture>(); }};
    return cls;
}

class PictureFormats : public testing::Test {
protected:
    void SetUp() override
    {
        ResetPictureFormats();
        dir_ = fs::temp_directory_path() / ("gazorin-registry-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override
    {
        ResetPictureFormats();
        fs::remove_all(dir_);
    }
    fs::path Write(const std::string& name, const std::string& content)
    {
        fs::create_directories((dir_ / name).parent_path());
        std::ofstream(dir_ / name, std::ios::binary) << content;
        return dir_ / name;
    }
    std::string MessageOfLoading(const fs::path& file)
    {
        try {
            LoadPictureByExtension(file.string());
        } catch (const Exception& e) {
            return e.what();
        }
        return "(loaded)";
    }
    fs::path dir_;
};

} // namespace

TEST_F(PictureFormats, StartUpRegistrationsGiveTheFilterOfTheOpenDialog)
{
    AppendPictureFormat("PNG", "PNG Format", FakeClass());
    AppendPictureFormat("jpeg", "JPEG イメージファイル", OtherClass());
    AppendPictureFormat("jpg", "JPEG イメージファイル", OtherClass());
    const std::string masks = "*.jpg;*.jpeg;*.png;*.bmp;*.ico;*.emf;*.wmf";
    EXPECT_EQ(BuildPictureFilter(GraphicBaseClass()),
              "すべてのファイル (" + masks + ")|" + masks +
                  "|JPEG イメージファイル (*.jpg)|*.jpg|JPEG イメージファイル (*.jpeg)|*.jpeg"
                  "|PNG Format (*.png)|*.png|ビットマップ (*.bmp)|*.bmp|アイコン (*.ico)|*.ico"
                  "|エンハンス メタファイル (*.emf)|*.emf|メタファイル (*.wmf)|*.wmf");

    const std::pair<const char*, const TGraphicClass*> lookups[] = {
        {"png", &FakeClass()},   {"PNG", &FakeClass()},        {"Jpeg", &OtherClass()},
        {"bmp", &BitmapClass()}, {"ICO", &IconClass()},        {"wmf", &MetafileClass()},
        {"emf", &MetafileClass()}, {"gif", nullptr},           {"", nullptr},
    };
    for (const auto& [extension, cls] : lookups)
        EXPECT_EQ(FindPictureClass(extension), cls) << extension;
}

TEST_F(PictureFormats, NewerEntriesWinAndRemovalTakesDescendantsToo)
{
    AppendPictureFormat("jpeg", "JPEG", FakeClass());
    AppendPictureFormat("JPEG", "plug-in JPEG", FakeChildClass());
    AppendPictureFormat("fk", "fake", FakeClass());
    EXPECT_EQ(FindPictureClass("jpeg"), &FakeChildClass());
    EXPECT_NE(BuildPictureFilter(GraphicBaseClass()).find("plug-in JPEG (*.jpeg)|*.jpeg|JPEG (*.jpeg)"),
              std::string::npos) << "both entries stay, newest first";

    RemovePictureClass(FakeChildClass());
    EXPECT_EQ(FindPictureClass("jpeg"), &FakeClass());
    RemovePictureClass(FakeClass());
    EXPECT_EQ(FindPictureClass("jpeg"), nullptr);
    EXPECT_EQ(FindPictureClass("fk"), nullptr);
    EXPECT_EQ(FindPictureClass("bmp"), &BitmapClass()) << "other classes stay";

    RemovePictureClass(GraphicBaseClass());
    EXPECT_EQ(BuildPictureFilter(GraphicBaseClass()), "");
    ResetPictureFormats();
    EXPECT_EQ(FindPictureClass("wmf"), &MetafileClass());
}

TEST_F(PictureFormats, FilterTakesOnlyTheBaseClassAndSkipsEmptyExtensions)
{
    AppendPictureFormat("", "nameless", FakeClass());
    AppendPictureFormat("fk", "Fake", FakeClass());
    EXPECT_EQ(BuildPictureFilter(FakeClass()), "Fake (*.fk)|*.fk") << "one entry: no all-files entry";
    AppendPictureFormat("fk2", "Child", FakeChildClass());
    EXPECT_EQ(BuildPictureFilter(FakeClass()),
              "すべてのファイル (*.fk2;*.fk)|*.fk2;*.fk|Child (*.fk2)|*.fk2|Fake (*.fk)|*.fk");
    EXPECT_EQ(BuildPictureFilter(OtherClass()), "");
}

TEST_F(PictureFormats, LoadingByExtension)
{
    AppendPictureFormat("fk", "Fake", FakeClass());
    // Unclaimed extensions, including none at all; a dot in a folder name is no extension.
    EXPECT_EQ(MessageOfLoading(Write("a.gif", "x")), "拡張子 .gif の画像形式は処理できません");
    EXPECT_EQ(MessageOfLoading(Write("noext", "x")), "拡張子 . の画像形式は処理できません");
    EXPECT_EQ(MessageOfLoading(Write("v1.2/noext", "x")), "拡張子 . の画像形式は処理できません");

    // The reader's own failures pass unchanged.
    EXPECT_EQ(MessageOfLoading(Write("broken.fk", "bad data")), "the fake reader refuses this");
    EXPECT_THROW(LoadPictureByExtension((dir_ / "missing.fk").string()), EFOpenError);

    auto picture = LoadPictureByExtension(Write("PHOTO.FK", "12345").string());
    ASSERT_NE(dynamic_cast<TFakePicture*>(picture.get()), nullptr);
    EXPECT_EQ(picture->Width(), 5);

    // The built-in bitmap and icon formats read through the platform's own classes.
    TBitmap bitmap(7, 3, pf8bit);
    bitmap.SaveToFile((dir_ / "b.BMP").string());
    picture = LoadPictureByExtension((dir_ / "b.BMP").string());
    ASSERT_NE(dynamic_cast<TBitmap*>(picture.get()), nullptr);
    EXPECT_EQ(picture->Width(), 7);

    TIcon icon;
    icon.Assign(bitmap);
    icon.SaveToFile((dir_ / "i.ico").string());
    picture = LoadPictureByExtension((dir_ / "i.ico").string());
    ASSERT_NE(dynamic_cast<TIcon*>(picture.get()), nullptr);
    EXPECT_EQ(picture->Height(), 3);
}
