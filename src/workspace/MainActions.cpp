// The actions of the main window, one per command and setting, and the menus that show them.
// The tool panel (MainPanel.cpp) shows the same actions as buttons.

#include "workspace/Glyphs.h"
#include "workspace/MainForm.h"
#include "workspace/OpenPictureDialog.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>

#include <initializer_list>

namespace gz::ui {

namespace {

// name: the panel button's name; text: the menu item's; hint: the button's tooltip.
QAction* MakeAction(QObject* owner, const char* name, const QString& text, const QString& hint, TGlyph glyph)
{
    auto* a = new QAction(GlyphIcon(glyph), text, owner);
    a->setObjectName(QString::fromLatin1(name));
    a->setToolTip(hint);
    a->setIconVisibleInMenu(false);
    return a;
}

QAction* MakeSetting(QObject* owner, const char* name, const QString& text, const QString& hint, TGlyph glyph,
                     int tag)
{
    QAction* a = MakeAction(owner, name, text, hint, glyph);
    a->setCheckable(true);
    a->setData(tag);
    return a;
}

// The value a direction or position action chooses, kept as the action's data (its Tag).
struct TTag {
    TTag(TJoinDir dir) : value(int(dir)) {}
    TTag(TJoinPos pos) : value(int(pos)) {}
    int value;
};

// One setting of an exclusive group: action name, menu text, button hint (both marked for
// translation in the group's context), glyph, value.
struct TChoice {
    const char* name;
    const char* text;
    const char* hint;
    TGlyph glyph;
    TTag tag;
};

// The choices as checkable actions of one exclusive group, the first checked.
QActionGroup* MakeGroup(QObject* owner, const char* context, std::initializer_list<TChoice> choices)
{
    const auto translated = [context](const char* text) {
        return *text ? QCoreApplication::translate(context, text) : QString();
    };
    auto* group = new QActionGroup(owner);
    for (const TChoice& c : choices)
        group->addAction(MakeSetting(owner, c.name, translated(c.text), translated(c.hint), c.glyph, c.tag.value));
    group->actions().constFirst()->setChecked(true);
    return group;
}

// A program-wide setting of the モード menu: a check item without a button.
QAction* MakeOption(QObject* owner, const char* name, const QString& text, bool checked)
{
    auto* a = new QAction(text, owner);
    a->setObjectName(QString::fromLatin1(name));
    a->setCheckable(true);
    a->setChecked(checked);
    return a;
}

} // namespace

void TForm1::CreateActions()
{
    const auto command = [this](const char* name, const QString& text, const QString& hint, TGlyph glyph,
                                void (TForm1::*handler)()) {
        QAction* a = MakeAction(this, name, text, hint, glyph);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    openpicture = command("openpicture", tr("開く(&O)..."), tr("ファイルから画像を読み込む"), TGlyph::Open,
                          &TForm1::openpictureClick);
    savejpeg = command("savejpeg", tr("JPEGイメージで保存(&J)"), tr("JPEGイメージで保存する"), TGlyph::SaveJpeg,
                       &TForm1::savejpegClick);
    savepng = command("savepng", tr("PNGイメージで保存(&P)"), tr("PNGイメージで保存する"), TGlyph::SavePng,
                      &TForm1::savepngClick);
    Exit1 = new QAction(tr("終了(&X)"), this);
    Exit1->setObjectName(QStringLiteral("Exit1"));
    connect(Exit1, &QAction::triggered, this, &QWidget::close);
    SBundo = command("SBundo", tr("元に戻す(&U)"), tr("ひとつ前の状態に戻る"), TGlyph::Undo, &TForm1::Undo1Click);
    SBundo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    SBcopy = command("SBcopy", tr("コピー(&C)"), tr("画像をクリップボードにコピー"), TGlyph::Copy,
                     &TForm1::Copy1Click);
    SBcopy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    SBpaste = command("SBpaste", tr("貼り付け(&P)"), tr("クリップボードから貼り付け"), TGlyph::Paste,
                      &TForm1::Paste1Click);
    SBpaste->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    About1 = new QAction(tr("バージョン情報(&A)..."), this);
    About1->setObjectName(QStringLiteral("About1"));
    connect(About1, &QAction::triggered, this, &TForm1::About1Click);

    // 連結方向: exactly one checked; the corners have no menu item and no visible button.
    directions_ = MakeGroup(
        this, "JoinDirection",
        {{"SBNormal", QT_TRANSLATE_NOOP("JoinDirection", "新規(&N)"),
          QT_TRANSLATE_NOOP("JoinDirection", "新規ウィンドウを作成"), TGlyph::NewWindow, jdNew},
         {"SBup", QT_TRANSLATE_NOOP("JoinDirection", "上(&U)"), QT_TRANSLATE_NOOP("JoinDirection", "上に連結"),
          TGlyph::Up, jdUp},
         {"SBbottom", QT_TRANSLATE_NOOP("JoinDirection", "下(&B)"), QT_TRANSLATE_NOOP("JoinDirection", "下に連結"),
          TGlyph::Down, jdDown},
         {"SBLeft", QT_TRANSLATE_NOOP("JoinDirection", "左(&L)"), QT_TRANSLATE_NOOP("JoinDirection", "左に連結"),
          TGlyph::Left, jdLeft},
         {"SBRight", QT_TRANSLATE_NOOP("JoinDirection", "右(&R)"), QT_TRANSLATE_NOOP("JoinDirection", "右に連結"),
          TGlyph::Right, jdRight},
         {"SBUpLeft", "", "", TGlyph::UpLeft, jdUpLeft},
         {"SBUpRight", "", "", TGlyph::UpRight, jdUpRight},
         {"SBBottomLeft", "", "", TGlyph::DownLeft, jdDownLeft},
         {"SBBottomRight", "", "", TGlyph::DownRight, jdDownRight}});
    for (QAction* a : directions_->actions())
        connect(a, &QAction::triggered, this, [this, dir = TJoinDir(a->data().toInt())] { SBNormalClick(dir); });

    // 連結位置: start, centre, end, and the custom position, which needs a canvas of fixed size.
    positions_ = MakeGroup(
        this, "JoinPosition",
        {{"SBpLeft", QT_TRANSLATE_NOOP("JoinPosition", "左(&L)"), QT_TRANSLATE_NOOP("JoinPosition", "左(上)に寄せて配置"),
          TGlyph::AlignStart, jpStart},
         {"SBpCenter", QT_TRANSLATE_NOOP("JoinPosition", "中(&C)"), QT_TRANSLATE_NOOP("JoinPosition", "中央に寄せて配置"),
          TGlyph::AlignCenter, jpCenter},
         {"SBpRight", QT_TRANSLATE_NOOP("JoinPosition", "右(&R)"), QT_TRANSLATE_NOOP("JoinPosition", "右(下)に寄せて配置"),
          TGlyph::AlignEnd, jpEnd},
         {"SpeedButton1", QT_TRANSLATE_NOOP("JoinPosition", "Custom(&C)"), "", TGlyph::AlignStart, jpCustom}});
    for (QAction* a : positions_->actions())
        connect(a, &QAction::triggered, this, [this, pos = TJoinPos(a->data().toInt())] { SBpLeftClick(pos); });
    SpeedButton1 = positions_->actions().constLast();
    SpeedButton1->setIcon(QIcon());
    SpeedButton1->setIconText(QCoreApplication::translate("JoinPosition", "custom"));
    SpeedButton1->setEnabled(false);

    SBchgLR = MakeSetting(this, "SBchgLR", tr("左右反転(&H)"), tr("左右反転"), TGlyph::MirrorLeftRight, 2);
    SBchgUB = MakeSetting(this, "SBchgUB", tr("上下反転(&V)"), tr("上下反転"), TGlyph::MirrorUpDown, 1);
    SBautoFit = MakeSetting(this, "SBautoFit", tr("挿入(&I)"), tr("サイズ変更する"), TGlyph::GrowCanvas, 1);
    SBautoFit->setChecked(true);
    connect(SBchgLR, &QAction::triggered, this, &TForm1::SBchgUBClick);
    connect(SBchgUB, &QAction::triggered, this, &TForm1::SBchgUBClick);
    connect(SBautoFit, &QAction::triggered, this, &TForm1::SBautoFitClick);

    // A setting of the document window without a panel button: pictures keep their transparency.
    SeeThrough1 = new QAction(tr("透過部分を重ねる"), this);
    SeeThrough1->setObjectName(QStringLiteral("SeeThrough1"));
    SeeThrough1->setCheckable(true);
    connect(SeeThrough1, &QAction::triggered, this, &TForm1::SeeThrough1Click);

    // Program-wide settings of how pictures become rasters, below the document window's settings
    // in the モード menu; the open dialog's preview follows them.
    AutoOrient1 = MakeOption(this, "AutoOrient1", tr("画像の向きを自動補正"), true);
    connect(AutoOrient1, &QAction::toggled, this, [this] {
        if (OpenPictureDialog1)
            OpenPictureDialog1->RasterOptions = RasterOptions();
    });
}

void TForm1::BuildMenus()
{
    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(tr("ファイル(&F)"));
    file->addActions({openpicture, savejpeg, savepng});
    file->addSeparator();
    file->addAction(Exit1);

    QMenu* edit = bar->addMenu(tr("編集(&E)"));
    edit->addAction(SBundo);
    edit->addSeparator();
    edit->addActions({SBcopy, SBpaste});

    QMenu* mode = bar->addMenu(tr("モード(&M)"));
    QMenu* direction = mode->addMenu(tr("連結方向(&A)"));
    direction->addActions(directions_->actions().mid(0, int(jdRight) + 1));
    QMenu* position = mode->addMenu(tr("連結位置(&P)"));
    position->addActions(positions_->actions());
    mode->addActions({SBchgLR, SBchgUB, SBautoFit});
    mode->addAction(SeeThrough1);
    mode->addSeparator();
    mode->addAction(AutoOrient1);

    QMenu* help = bar->addMenu(tr("ヘルプ(&H)"));
    help->addAction(About1);
}

} // namespace gz::ui
