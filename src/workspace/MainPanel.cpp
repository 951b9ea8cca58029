// The tool panel of the main window: five groups of flat tool buttons and the zoom box.

#include "workspace/Glyphs.h"
#include "workspace/MainForm.h"
#include "workspace/SpeedButton.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

namespace gz::ui {

namespace {

constexpr int PanelWidth = 89;
constexpr int ButtonSize = 25;

QGroupBox* Group(const QString& caption, QWidget* parent, QGridLayout*& grid)
{
    auto* box = new QGroupBox(caption, parent);
    grid = new QGridLayout(box);
    grid->setContentsMargins(3, 1, 3, 2);
    grid->setHorizontalSpacing(1);
    grid->setVerticalSpacing(1);
    return box;
}

TSpeedButton* Button(QWidget* parent, const char* name, int tag, const QString& hint, TButtonKind kind, TGlyph glyph)
{
    auto* b = new TSpeedButton(QString::fromLatin1(name), tag, hint, kind, parent);
    b->setIcon(GlyphIcon(glyph));
    b->setIconSize(QSize(18, 18));
    b->setFixedSize(ButtonSize, ButtonSize);
    return b;
}

} // namespace

void TForm1::BuildToolPanel()
{
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedWidth(PanelWidth);
    auto* column = new QVBoxLayout(Panel1);
    column->setContentsMargins(2, 2, 2, 2);
    column->setSpacing(1);
    QGridLayout* grid = nullptr;

    // ファイル
    QGroupBox* file = Group(QStringLiteral("ファイル"), Panel1, grid);
    openpicture = Button(file, "openpicture", 0, QStringLiteral("ファイルから画像を読み込む"), TButtonKind::Push, TGlyph::Open);
    savejpeg = Button(file, "savejpeg", 0, QStringLiteral("JPEGイメージで保存する"), TButtonKind::Push, TGlyph::SaveJpeg);
    savepng = Button(file, "savepng", 0, QStringLiteral("PNGイメージで保存する"), TButtonKind::Push, TGlyph::SavePng);
    grid->addWidget(openpicture, 0, 0);
    grid->addWidget(savejpeg, 0, 1);
    grid->addWidget(savepng, 0, 2);
    column->addWidget(file);

    // 編集
    QGroupBox* edit = Group(QStringLiteral("編集"), Panel1, grid);
    SBundo = Button(edit, "SBundo", 0, QStringLiteral("ひとつ前の状態に戻る"), TButtonKind::Push, TGlyph::Undo);
    SBcopy = Button(edit, "SBcopy", 1, QStringLiteral("画像をクリップボードにコピー"), TButtonKind::Push, TGlyph::Copy);
    SBpaste = Button(edit, "SBpaste", 2, QStringLiteral("クリップボードから貼り付け"), TButtonKind::Push, TGlyph::Paste);
    grid->addWidget(SBundo, 0, 0);
    grid->addWidget(SBcopy, 0, 1);
    grid->addWidget(SBpaste, 0, 2);
    column->addWidget(edit);

    // 連結方向: a 3 x 3 grid, the corners hidden
    QGroupBox* direction = Group(QStringLiteral("連結方向"), Panel1, grid);
    direction->setToolTip(QStringLiteral("ダブルクリックで空白を連結"));
    const auto dirButton = [&](const char* name, int tag, const QString& hint, TGlyph glyph, int r, int c) {
        TSpeedButton* b = Button(direction, name, tag, hint, TButtonKind::Group, glyph);
        grid->addWidget(b, r, c);
        return b;
    };
    SBUpLeft = dirButton("SBUpLeft", jdUpLeft, QString(), TGlyph::UpLeft, 0, 0);
    SBup = dirButton("SBup", jdUp, QStringLiteral("上に連結"), TGlyph::Up, 0, 1);
    SBUpRight = dirButton("SBUpRight", jdUpRight, QString(), TGlyph::UpRight, 0, 2);
    SBLeft = dirButton("SBLeft", jdLeft, QStringLiteral("左に連結"), TGlyph::Left, 1, 0);
    SBNormal = dirButton("SBNormal", jdNew, QStringLiteral("新規ウィンドウを作成"), TGlyph::NewWindow, 1, 1);
    SBRight = dirButton("SBRight", jdRight, QStringLiteral("右に連結"), TGlyph::Right, 1, 2);
    SBBottomLeft = dirButton("SBBottomLeft", jdDownLeft, QString(), TGlyph::DownLeft, 2, 0);
    SBbottom = dirButton("SBbottom", jdDown, QStringLiteral("下に連結"), TGlyph::Down, 2, 1);
    SBBottomRight = dirButton("SBBottomRight", jdDownRight, QString(), TGlyph::DownRight, 2, 2);
    DirectionGroup = new QButtonGroup(this);
    for (TSpeedButton* b : {SBNormal, SBup, SBbottom, SBLeft, SBRight, SBUpLeft, SBUpRight, SBBottomLeft, SBBottomRight}) {
        DirectionGroup->addButton(b, b->Tag());
        connect(b, &QToolButton::clicked, this, [this, b] { SBNormalClick(b); });
        connect(b, &TSpeedButton::doubleClicked, this, [this, b] { SBNormalDblClick(b); });
    }
    for (TSpeedButton* b : {SBUpLeft, SBUpRight, SBBottomLeft, SBBottomRight})
        b->hide();
    // Hidden corners keep their cells, so the arrows stay where they belong.
    for (int i = 0; i < 3; ++i) {
        grid->setColumnMinimumWidth(i, ButtonSize);
        grid->setRowMinimumHeight(i, ButtonSize);
    }
    SBNormal->SetDown(true);
    column->addWidget(direction);

    // 位置・反転
    QGroupBox* position = Group(QStringLiteral("位置・反転"), Panel1, grid);
    SBchgLR = Button(position, "SBchgLR", 2, QStringLiteral("左右反転"), TButtonKind::Toggle, TGlyph::MirrorLeftRight);
    SBchgUB = Button(position, "SBchgUB", 1, QStringLiteral("上下反転"), TButtonKind::Toggle, TGlyph::MirrorUpDown);
    SBautoFit = Button(position, "SBautoFit", 1, QStringLiteral("サイズ変更する"), TButtonKind::Toggle, TGlyph::GrowCanvas);
    SBpLeft = Button(position, "SBpLeft", jpStart, QStringLiteral("左(上)に寄せて配置"), TButtonKind::Group, TGlyph::AlignStart);
    SBpCenter = Button(position, "SBpCenter", jpCenter, QStringLiteral("中央に寄せて配置"), TButtonKind::Group, TGlyph::AlignCenter);
    SBpRight = Button(position, "SBpRight", jpEnd, QStringLiteral("右(下)に寄せて配置"), TButtonKind::Group, TGlyph::AlignEnd);
    SpeedButton1 = new TSpeedButton(QStringLiteral("SpeedButton1"), jpCustom, QString(), TButtonKind::Group, position);
    SpeedButton1->setText(QStringLiteral("custom"));
    SpeedButton1->setFixedHeight(22);
    SpeedButton1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    grid->addWidget(SBchgLR, 0, 0);
    grid->addWidget(SBchgUB, 0, 1);
    grid->addWidget(SBautoFit, 0, 2);
    grid->addWidget(SBpLeft, 1, 0);
    grid->addWidget(SBpCenter, 1, 1);
    grid->addWidget(SBpRight, 1, 2);
    grid->addWidget(SpeedButton1, 2, 0, 1, 3);
    PositionGroup = new QButtonGroup(this);
    for (TSpeedButton* b : {SBpLeft, SBpCenter, SBpRight, SpeedButton1}) {
        PositionGroup->addButton(b, b->Tag());
        connect(b, &QToolButton::clicked, this, [this, b] { SBpLeftClick(b); });
    }
    SBpLeft->SetDown(true);
    SpeedButton1->setEnabled(false);
    connect(SBchgLR, &QToolButton::clicked, this, [this] { SBchgUBClick(); });
    connect(SBchgUB, &QToolButton::clicked, this, [this] { SBchgUBClick(); });
    SBautoFit->SetDown(true);
    connect(SBautoFit, &QToolButton::clicked, this, [this] { SBautoFitClick(); });
    column->addWidget(position);

    // 画面
    QGroupBox* view = Group(QStringLiteral("画面"), Panel1, grid);
    view->setToolTip(QStringLiteral("表示倍率"));
    zoombox1 = new QComboBox(view);
    zoombox1->setObjectName(QStringLiteral("zoombox1"));
    zoombox1->setEditable(true);
    zoombox1->setInsertPolicy(QComboBox::NoInsert);
    zoombox1->setCompleter(nullptr);
    zoombox1->setFocusPolicy(Qt::ClickFocus); // the tab key passes it by
    zoombox1->setMaxVisibleItems(14);
    for (int z : {10, 20, 25, 33, 40, 50, 60, 75, 83, 90, 100, 110, 120, 125, 141, 150, 175, 200, 250, 300, 350, 400, 500,
                  600, 700, 800})
        zoombox1->addItem(QString::number(z));
    zoombox1->addItem(QString());
    zoombox1->setCurrentIndex(zoombox1->findText(QStringLiteral("100")));
    zoombox1->installEventFilter(this);
    zoombox1->lineEdit()->installEventFilter(this);
    connect(zoombox1, &QComboBox::activated, this, [this] { zoombox1Click(); });
    grid->addWidget(zoombox1, 0, 0);
    column->addWidget(view);

    // An empty list fills the rest of the panel.
    ListBox1 = new QListWidget(Panel1);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setFocusPolicy(Qt::NoFocus);
    // It takes what the groups leave, however little, so the window keeps its size.
    ListBox1->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Ignored);
    column->addWidget(ListBox1, 1);

    for (TSpeedButton* b : {openpicture, savejpeg, savepng, SBundo, SBcopy, SBpaste})
        b->setCheckable(false);
    connect(openpicture, &QToolButton::clicked, this, [this] { openpictureClick(); });
    connect(savejpeg, &QToolButton::clicked, this, [this] { savejpegClick(); });
    connect(savepng, &QToolButton::clicked, this, [this] { savepngClick(); });
    connect(SBundo, &QToolButton::clicked, this, [this] { Undo1Click(); });
    connect(SBcopy, &QToolButton::clicked, this, [this] { Copy1Click(); });
    connect(SBpaste, &QToolButton::clicked, this, [this] { Paste1Click(); });
}

} // namespace gz::ui
