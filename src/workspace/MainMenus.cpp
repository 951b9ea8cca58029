// The menus of the main window: every menu action is made and connected here.

#include "workspace/MainForm.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>

namespace gz::ui {

void TForm1::BuildMenus()
{
    QMenuBar* bar = menuBar();
    const auto item = [this](QMenu* menu, const QString& text, auto handler) {
        QAction* a = menu->addAction(text);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };

    QMenu* file = bar->addMenu(QStringLiteral("ファイル(&F)"));
    Open1 = item(file, QStringLiteral("開く(&O)..."), [this] { openpictureClick(); });
    SaveJpeg1 = item(file, QStringLiteral("JPEGイメージで保存(&J)"), [this] { savejpegClick(); });
    SavePng1 = item(file, QStringLiteral("PNGイメージで保存(&P)"), [this] { savepngClick(); });
    file->addSeparator();
    Exit1 = item(file, QStringLiteral("終了(&X)"), [this] { Exit1Click(); });

    QMenu* edit = bar->addMenu(QStringLiteral("編集(&E)"));
    Undo1 = item(edit, QStringLiteral("元に戻す(&U)"), [this] { Undo1Click(); });
    Undo1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    edit->addSeparator();
    Copy1 = item(edit, QStringLiteral("コピー(&C)"), [this] { Copy1Click(); });
    Copy1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    Paste1 = item(edit, QStringLiteral("貼り付け(&P)"), [this] { Paste1Click(); });
    Paste1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));

    QMenu* mode = bar->addMenu(QStringLiteral("モード(&M)"));
    QMenu* direction = mode->addMenu(QStringLiteral("連結方向(&A)"));
    auto* directionItems = new QActionGroup(this);
    const QString directionTexts[] = {QStringLiteral("新規(&N)"), QStringLiteral("上(&U)"), QStringLiteral("下(&B)"),
                                      QStringLiteral("左(&L)"), QStringLiteral("右(&R)")};
    for (int tag = 0; tag < 5; ++tag) {
        QAction* a = direction->addAction(directionTexts[tag]);
        a->setData(tag);
        a->setCheckable(true);
        directionItems->addAction(a);
        connect(a, &QAction::triggered, this, [this, a] { N7Click(a); });
        DirectionItems[tag] = a;
    }
    DirectionItems[0]->setChecked(true);

    QMenu* position = mode->addMenu(QStringLiteral("連結位置(&P)"));
    auto* positionItems = new QActionGroup(this);
    const QString positionTexts[] = {QStringLiteral("左(&L)"), QStringLiteral("中(&C)"), QStringLiteral("右(&R)"),
                                     QStringLiteral("Custom(&C)")};
    for (int tag = 0; tag < 4; ++tag) {
        QAction* a = position->addAction(positionTexts[tag]);
        a->setData(tag);
        a->setCheckable(true);
        positionItems->addAction(a);
        connect(a, &QAction::triggered, this, [this, a] { L2Click(a); });
        PositionItems[tag] = a;
    }

    H1 = mode->addAction(QStringLiteral("左右反転(&H)"));
    H1->setCheckable(true);
    connect(H1, &QAction::triggered, this, [this](bool checked) { H1Click(checked); });
    V1 = mode->addAction(QStringLiteral("上下反転(&V)"));
    V1->setCheckable(true);
    connect(V1, &QAction::triggered, this, [this](bool checked) { V1Click(checked); });
    Insert1 = mode->addAction(QStringLiteral("挿入(&I)"));
    Insert1->setCheckable(true);
    Insert1->setChecked(true);
    connect(Insert1, &QAction::triggered, this, [this](bool checked) { Insert1Click(checked); });

    QMenu* help = bar->addMenu(QStringLiteral("ヘルプ(&H)"));
    About1 = item(help, QStringLiteral("バージョン情報(&A)..."), [this] { About1Click(); });
}

} // namespace gz::ui
