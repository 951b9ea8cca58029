// The tool panel of the main window: five groups of flat tool buttons, each showing one of the
// window's actions, and the zoom box.

#include "workspace/MainForm.h"
#include "workspace/SpeedButton.h"

#include <QAction>
#include <QActionGroup>
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

TSpeedButton* Button(QWidget* parent, QAction* action)
{
    auto* b = new TSpeedButton(action, parent);
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

    // ファイル, 編集
    QGroupBox* file = Group(tr("ファイル"), Panel1, grid);
    for (QAction* a : {openpicture, savejpeg, savepng})
        grid->addWidget(Button(file, a), 0, grid->count());
    column->addWidget(file);
    QGroupBox* edit = Group(tr("編集"), Panel1, grid);
    for (QAction* a : {SBundo, SBcopy, SBpaste})
        grid->addWidget(Button(edit, a), 0, grid->count());
    column->addWidget(edit);

    // 連結方向: a 3 x 3 grid, the corners hidden; a double click joins a blank picture.
    QGroupBox* direction = Group(tr("連結方向"), Panel1, grid);
    direction->setToolTip(tr("ダブルクリックで空白を連結"));
    const struct {
        int row, column;
    } cells[] = {{1, 1}, {0, 1}, {2, 1}, {1, 0}, {1, 2}, {0, 0}, {0, 2}, {2, 0}, {2, 2}}; // by TJoinDir
    for (QAction* a : directions_->actions()) {
        const int tag = a->data().toInt();
        const auto dir = TJoinDir(tag);
        TSpeedButton* b = Button(direction, a);
        grid->addWidget(b, cells[tag].row, cells[tag].column);
        connect(b, &TSpeedButton::doubleClicked, this, [this, dir] { SBNormalDblClick(dir); });
        if (dir > jdRight)
            b->hide();
    }
    // Hidden corners keep their cells, so the arrows stay where they belong.
    for (int i = 0; i < 3; ++i) {
        grid->setColumnMinimumWidth(i, ButtonSize);
        grid->setRowMinimumHeight(i, ButtonSize);
    }
    column->addWidget(direction);

    // 位置・反転
    QGroupBox* position = Group(tr("位置・反転"), Panel1, grid);
    grid->addWidget(Button(position, SBchgLR), 0, 0);
    grid->addWidget(Button(position, SBchgUB), 0, 1);
    grid->addWidget(Button(position, SBautoFit), 0, 2);
    for (int column = 0; column < 3; ++column) // start, centre, end
        grid->addWidget(Button(position, positions_->actions().at(column)), 1, column);
    auto* custom = new TSpeedButton(SpeedButton1, position);
    custom->setToolButtonStyle(Qt::ToolButtonTextOnly);
    custom->setFixedHeight(22);
    custom->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    grid->addWidget(custom, 2, 0, 1, 3);
    column->addWidget(position);

    // 画面
    QGroupBox* view = Group(tr("画面"), Panel1, grid);
    view->setToolTip(tr("表示倍率"));
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
}

} // namespace gz::ui
