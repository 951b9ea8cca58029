// The user interface in the locale's language. CTest runs these cases once with LC_ALL set to
// ja_JP.UTF-8 and once with en_US.UTF-8; the program chooses its language from the
// environment as at start, and every text it shows is compared with what that language
// should show: Japanese as written, English from the translation, with nothing Japanese left
// over in English apart from the codec messages that stay as they are.

#include "GuiFixture.h"

#include "support/Rasters.h"
#include "susie/SPIs.h"
#include "workspace/ExportCommands.h"
#include "workspace/PanelDialog.h"
#include "workspace/PlacementWizard.h"
#include "workspace/UserInterfaceLanguage.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QToolButton>

namespace gz::test {
namespace {

using ui::TLanguage;

TColor Red(int, int) { return RGBColor(255, 0, 0); }

// The language the environment asks for; the cases skip under any other.
std::optional<TLanguage> ExpectedLanguage()
{
    const QString locale = qEnvironmentVariable("LC_ALL");
    if (locale == "ja_JP.UTF-8")
        return TLanguage::Japanese;
    if (locale == "en_US.UTF-8")
        return TLanguage::English;
    return std::nullopt;
}

bool HasJapanese(const QString& text)
{
    static const QRegularExpression japanese(QStringLiteral("[\\x{3000}-\\x{30FF}\\x{4E00}-\\x{9FFF}\\x{FF00}-\\x{FFEF}]"));
    return text.contains(japanese);
}

// Every text a window and its children show: titles, captions, tooltips, menu items.
QStringList ShownTexts(const QWidget* window)
{
    QStringList texts{window->windowTitle(), window->toolTip()};
    for (const QWidget* w : window->findChildren<QWidget*>()) {
        texts << w->toolTip();
        if (auto* label = qobject_cast<const QLabel*>(w))
            texts << label->text();
        else if (auto* button = qobject_cast<const QAbstractButton*>(w))
            texts << button->text();
        else if (auto* group = qobject_cast<const QGroupBox*>(w))
            texts << group->title();
    }
    for (const QAction* a : window->findChildren<QAction*>())
        texts << a->text() << a->toolTip();
    texts.removeAll(QString());
    return texts;
}

// The menus item by item: one line per menu, "title: item | item ...", then its submenus as
// "title > title: ...".
QStringList MenuOutline(const QMenuBar& bar)
{
    QStringList lines;
    const std::function<void(const QString&, const QMenu&)> outline = [&](const QString& path, const QMenu& menu) {
        QStringList items;
        QList<const QAction*> submenus;
        for (const QAction* a : menu.actions()) {
            if (a->isSeparator())
                continue;
            items << a->text();
            if (a->menu())
                submenus << a;
        }
        lines << path + ": " + items.join(" | ");
        for (const QAction* a : submenus)
            outline(path + " > " + a->text(), *a->menu());
    };
    for (const QAction* title : bar.actions())
        outline(title->text(), *title->menu());
    return lines;
}

// The tool panel group by group: "title (hint): button hint | ...", a button with a caption by its caption.
QStringList PanelOutline(const QWidget& panel)
{
    QStringList lines;
    for (const QGroupBox* group : panel.findChildren<QGroupBox*>()) {
        QStringList buttons;
        for (const QToolButton* b : group->findChildren<QToolButton*>())
            if (!b->isHidden())
                buttons << (b->toolButtonStyle() == Qt::ToolButtonTextOnly ? b->text() : b->toolTip());
        QString line = group->title();
        if (!group->toolTip().isEmpty())
            line += " (" + group->toolTip() + ")";
        lines << line + ": " + buttons.join(" | ");
    }
    return lines;
}

class LanguageTest : public GuiTest {
protected:
    void SetUp() override
    {
        const std::optional<TLanguage> expected = ExpectedLanguage();
        if (!expected)
            GTEST_SKIP() << "run with LC_ALL=ja_JP.UTF-8 or en_US.UTF-8 (CTest's language.* cases)";
        japanese_ = *expected == TLanguage::Japanese;
        language_ = std::make_unique<ui::TUserInterfaceLanguage>(); // the locale, as the program takes it at start
        ASSERT_EQ(language_->Language(), *expected);
        GuiTest::SetUp();
    }
    void TearDown() override
    {
        if (!language_)
            return;
        if (form_)
            form_->SetPlacementRequest(nullptr);
        wizard_.reset();
        GuiTest::TearDown();
        language_.reset();
    }

    // The Japanese text, or the English one under an English locale.
    QString Say(const char* japanese, const char* english) const
    {
        return QString::fromUtf8(japanese_ ? japanese : english);
    }
    QStringList Say(const QStringList& japanese, const QStringList& english) const
    {
        return japanese_ ? japanese : english;
    }
    void ExpectNoJapaneseInEnglish(const QWidget* window)
    {
        if (japanese_)
            return;
        for (const QString& text : ShownTexts(window))
            EXPECT_FALSE(HasJapanese(text)) << window->metaObject()->className() << " shows " << text.toStdString();
    }

    bool japanese_ = false;
    std::unique_ptr<ui::TUserInterfaceLanguage> language_;
    std::unique_ptr<ui::TForm3> wizard_;
};

TEST_F(LanguageTest, MenusAndToolPanel)
{
    EXPECT_EQ(MenuOutline(*form_->menuBar()),
              Say({"ファイル(&F): 開く(&O)... | JPEGイメージで保存(&J) | PNGイメージで保存(&P) | 終了(&X)",
                   "編集(&E): 元に戻す(&U) | コピー(&C) | 貼り付け(&P)",
                   "モード(&M): 連結方向(&A) | 連結位置(&P) | 左右反転(&H) | 上下反転(&V) | 挿入(&I) | 透過部分を重ねる | 画像の向きを自動補正",
                   "モード(&M) > 連結方向(&A): 新規(&N) | 上(&U) | 下(&B) | 左(&L) | 右(&R)",
                   "モード(&M) > 連結位置(&P): 左(&L) | 中(&C) | 右(&R) | Custom(&C)",
                   "ヘルプ(&H): バージョン情報(&A)..."},
                  {"&File: &Open... | Save as &JPEG... | Save as &PNG... | &Quit",
                   "&Edit: &Undo | &Copy | &Paste",
                   "&Mode: Join &direction | Join &position | Flip &horizontally | Flip &vertically | &Grow canvas | "
                   "Keep &transparency | Auto-&rotate photos",
                   "&Mode > Join &direction: &New window | &Above | &Below | &Left | &Right",
                   "&Mode > Join &position: &Left or top | &Center | &Right or bottom | C&ustom",
                   "&Help: &About Gazorin..."}));
    EXPECT_EQ(PanelOutline(*Named("Panel1")),
              Say({"ファイル: ファイルから画像を読み込む | JPEGイメージで保存する | PNGイメージで保存する",
                   "編集: ひとつ前の状態に戻る | 画像をクリップボードにコピー | クリップボードから貼り付け",
                   "連結方向 (ダブルクリックで空白を連結): 新規ウィンドウを作成 | 上に連結 | 下に連結 | 左に連結 | 右に連結",
                   "位置・反転: 左右反転 | 上下反転 | サイズ変更する | 左(上)に寄せて配置 | 中央に寄せて配置 | "
                   "右(下)に寄せて配置 | custom",
                   "画面 (表示倍率): "},
                  {"File: Open a picture from a file | Save as a JPEG image | Save as a PNG image",
                   "Edit: Undo the last join | Copy the picture to the clipboard | Paste a picture from the clipboard",
                   "Direction (Double-click to join a blank picture): Open in a new window | Join above | Join below | "
                   "Join on the left | Join on the right",
                   "Position/Flip: Flip horizontally | Flip vertically | Grow the canvas to fit | Align to the left or top | "
                   "Align to the center | Align to the right or bottom | Custom",
                   "View (Zoom (%)): "}));
    // Each group's title fits the panel's width.
    for (const QGroupBox* group : Named("Panel1")->findChildren<QGroupBox*>())
        EXPECT_LE(group->fontMetrics().horizontalAdvance(group->title()) + 12, group->width()) << group->title().toStdString();
    ExpectNoJapaneseInEnglish(form_.get());
}

TEST_F(LanguageTest, StatusLineAboutBoxAndErrorTexts)
{
    ASSERT_TRUE(Open(WriteBmp("a.bmp", MakeBitmap(3, 2, Red))));
    EXPECT_EQ(form_->StatusText(), Say("幅 3 , 高さ 2", "3 × 2 pixels"));

    ChooseMenu(*form_, {Say("ヘルプ(&H)", "&Help"), Say("バージョン情報(&A)...", "&About Gazorin...")});
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].caption, Say("バージョン情報", "About Gazorin"));
    EXPECT_EQ(boxes_[0].text, Say("Gazorin　Ver. 2.3", "Gazorin version 2.3"));

    // The program's own messages follow the language; the codecs' stay as they are.
    ASSERT_TRUE(DropFiles(form_.get(), {WriteBytes("picture.xyz", "whatever")}));
    ASSERT_TRUE(DropFiles(form_.get(), {WriteBytes("broken.png", "this is no PNG file")}));
    Click(Button("SBundo")); // back to the empty picture, which cannot be saved
    Click(Button("savepng"));
    ASSERT_EQ(boxes_.size(), 4u);
    EXPECT_EQ(boxes_[1].text, Say("拡張子 .xyz の画像形式は処理できません", "Cannot open pictures of type .xyz"));
    EXPECT_EQ(boxes_[2].text, "PNG LoadStream: Not PNG Format");
    EXPECT_EQ(boxes_[3].text, Say("保存する画像がありません", "There is no picture to save"));
    for (std::size_t i = 1; i < boxes_.size(); ++i)
        EXPECT_EQ(boxes_[i].caption, "Gazorin");
}

// The core's own messages keep their Japanese for gazorin-cli; the error box translates them,
// with their file and function names.
TEST_F(LanguageTest, CoreMessagesInTheErrorBox)
{
    const auto shown = [](const std::exception& e) { return ui::ErrorBoxText(QString::fromUtf8(e.what())); };
    EXPECT_EQ(shown(ESPIFOpenErrorSPI("/p/x.spi")),
              Say("/p/x.spi:Susie Pluginがロードできませんでした", "/p/x.spi: the Susie plug-in could not be loaded"));
    EXPECT_EQ(shown(ESPIInvalidAPI("GetPicture", "/p/%1.spi")),
              Say("GetPictureは[/p/%1.spi]では使えないSusie Plugin APIです",
                  "GetPicture is a Susie plug-in function that [/p/%1.spi] does not provide"));
    EXPECT_EQ(shown(ESPIDupCreateSPIs()), Say("TSPIs は複数生成できません", "Only one plug-in host can be created"));
    EXPECT_EQ(ui::ErrorBoxText("PNG LoadStream: Not PNG Format"), "PNG LoadStream: Not PNG Format");
}

TEST_F(LanguageTest, OpenDialogWithQtsOwnTexts)
{
    bool seen = false;
    WhenActive("gz::ui::TOpenPictureDialog", [&](QWidget* w) {
        auto* dialog = static_cast<QFileDialog*>(w);
        seen = true;
        EXPECT_EQ(dialog->windowTitle(), Say("開く", "Open Picture"));
        const QStringList filters = dialog->nameFilters();
        EXPECT_TRUE(filters.value(0).startsWith(Say("すべてのファイル (", "All pictures ("))) << filters.value(0).toStdString();
        for (const char* entry : {"メタファイル (", "エンハンス メタファイル (", "アイコン (", "ビットマップ (", "JPEG イメージファイル ("})
            EXPECT_EQ(filters.filter(QString::fromUtf8(entry)).isEmpty(), !japanese_) << entry;
        for (const char* entry : {"Metafile (", "Enhanced metafile (", "Icon (", "Bitmap (", "JPEG image ("})
            EXPECT_EQ(filters.filter(QString::fromUtf8(entry)).isEmpty(), japanese_) << entry;
        // Qt's own texts in the same language.
        auto* name = dialog->findChild<QLabel*>(QStringLiteral("fileNameLabel"));
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(name->text(), Say("ファイル名(&N):", "File &name:"));
        ExpectNoJapaneseInEnglish(dialog);
        Answer(dialog, QString());
    });
    Click(Button("openpicture"));
    EXPECT_TRUE(seen);
}

TEST_F(LanguageTest, SaveDialogAndItsOptionPanel)
{
    ASSERT_TRUE(Open(WriteBmp("a.bmp", MakeBitmap(3, 2, Red))));
    for (const bool jpeg : {true, false}) {
        bool seen = false;
        WhenActive("gz::ui::TPanelSaveDialog", [&](QWidget* w) {
            auto* dialog = static_cast<ui::TPanelSaveDialog*>(w);
            seen = true;
            const ui::TExportPanel& panel = form_->ExportPanel();
            if (jpeg) {
                EXPECT_EQ(dialog->windowTitle(), Say("JPEG形式で保存", "Save as JPEG"));
                EXPECT_EQ(dialog->nameFilters(), QStringList{Say("JPG イメージファイル(*.JPG)", "JPEG images (*.JPG)")});
                EXPECT_EQ(panel.Label1->text(), Say("圧縮率", "Quality"));
                EXPECT_EQ(panel.Label2->text(), "83 %");
            } else {
                EXPECT_EQ(dialog->windowTitle(), Say("PNG形式で保存", "Save as PNG"));
                EXPECT_EQ(dialog->nameFilters(), QStringList{Say("PNG イメージファイル(*.PNG)", "PNG images (*.PNG)")});
            }
            EXPECT_EQ(panel.CBProgressive->text(), Say("プログレシブ／インターレス", "Progressive / interlaced"));
            EXPECT_TRUE(panel.CBProgressive->isVisible());
            EXPECT_GE(panel.CBProgressive->width(), panel.CBProgressive->sizeHint().width());
            auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
            ASSERT_NE(buttons, nullptr);
            EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text(), Say("キャンセル", "Cancel"));
            ExpectNoJapaneseInEnglish(dialog);
            Answer(dialog, QString());
        });
        Click(Button(jpeg ? "savejpeg" : "savepng"));
        EXPECT_TRUE(seen);
    }
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(LanguageTest, PlacementWizard)
{
    wizard_ = std::make_unique<ui::TForm3>();
    form_->SetPlacementRequest(wizard_.get());
    ASSERT_TRUE(Open(WriteBmp("base.bmp", MakeBitmap(30, 20, Red))));
    Click(Button("SBbottom"));
    Click(Button("SBautoFit")); // a canvas of fixed size allows the custom position
    Click(Button("SpeedButton1"));
    bool seen = false;
    WhenActive("gz::ui::TForm3", [&](QWidget* w) {
        auto* wizard = static_cast<ui::TForm3*>(w);
        seen = true;
        EXPECT_EQ(wizard->windowTitle(), Say("連結　配置ウィザード", "Placement Wizard"));
        EXPECT_EQ(wizard->Label4->text(), Say("サイズ　( 30, 20 )", "Size: 30 × 20"));
        EXPECT_EQ(wizard->Label1->text(), Say("サイズ　( 4, 3 )", "Size: 4 × 3"));
        EXPECT_EQ(wizard->GroupBox1->title(), Say("配置する画像の座標（左上）", "Position (top left)"));
        const QStringList captions{wizard->Button1->text(), wizard->Button2->text(), wizard->Button3->text()};
        EXPECT_EQ(captions, Say({"配置", "キャンセル", "更新"}, {"Place", "Cancel", "Update"}));
        for (const QPushButton* b : {wizard->Button1, wizard->Button2, wizard->Button3})
            EXPECT_LE(b->fontMetrics().horizontalAdvance(b->text()) + 8, b->width()) << b->text().toStdString();
        ExpectNoJapaneseInEnglish(wizard);
        Press(Qt::Key_Escape);
    });
    ASSERT_TRUE(Open(WriteBmp("piece.bmp", MakeBitmap(4, 3, Red))));
    EXPECT_TRUE(seen);
    EXPECT_EQ(Active()->Model().Picture().Height(), 20); // cancelled: nothing joined
}

TEST(UserInterfaceLanguage, JapaneseOnlyUnderAJapaneseLocale)
{
    EXPECT_EQ(ui::LanguageOf(QLocale(QLocale::Japanese, QLocale::Japan)), TLanguage::Japanese);
    for (const QLocale& other : {QLocale(QLocale::English, QLocale::UnitedKingdom), QLocale(QLocale::German, QLocale::Germany),
                                 QLocale(QLocale::Chinese, QLocale::China), QLocale::c()})
        EXPECT_EQ(ui::LanguageOf(other), TLanguage::English) << other.name().toStdString();
}

} // namespace
} // namespace gz::test
