// A seeded random user at the desktop program: clicks on the tool panel's buttons and the
// menus, keys, wheel turns, zoom values typed and chosen, pictures (good, broken, large)
// opened through the open dialog, the placement wizard, undo, copy, paste, exports through
// the save dialog and closing windows, all as real input on whatever has the focus or lies
// under the pointer. Afterwards no dialog is left open and every written file reads back.
//
// GAZORIN_MONKEY_ACTIONS sets the number of actions (2000), GAZORIN_MONKEY_SEED the seed (a
// new one each run); the seed and the last actions are printed when anything goes wrong, and
// every action with GAZORIN_MONKEY_TRACE set.

#include "GuiFixture.h"

#include "jpeg/JPEGImage.h"
#include "png/KroPNG.h"
#include "support/Rasters.h"
#include "workspace/PlacementWizard.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QAbstractItemView>
#include <QLineEdit>
#include <QMap>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QSlider>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>

#include <chrono>
#include <cstdio>
#include <deque>
#include <random>

namespace gz::test {
namespace {

extern "C" void __sanitizer_set_death_callback(void (*callback)()) __attribute__((weak));

class TMonkey {
public:
    TMonkey(ui::TForm1& form, const QString& folder, std::uint32_t seed, int actions)
        : form_(form), folder_(folder), random_(seed), seed_(seed), left_(actions)
    {
        MakePictures();
    }

    // Runs every action; returns when the last has ended and no dialog is open.
    void Run()
    {
        QEventLoop loop;
        done_ = [&loop] { loop.quit(); };
        QTimer::singleShot(0, [this] { Step(); });
        loop.exec();
    }

    // The seed and the last actions, for a failure report.
    std::string Trail() const
    {
        std::string text = "monkey seed " + std::to_string(seed_) + " (GAZORIN_MONKEY_SEED), last actions:\n";
        for (const QString& a : trail_)
            text += "  " + a.toStdString() + "\n";
        return text;
    }

    const QStringList& Written() const { return written_; }

    // How often each kind of action ran (its first two words).
    std::string Summary() const
    {
        std::string text;
        for (auto it = counts_.begin(); it != counts_.end(); ++it)
            text += it.key().toStdString() + ": " + std::to_string(it.value()) + "\n";
        return text;
    }

private:
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    bool Chance(int percent) { return Pick(100) < percent; }
    template <class T>
    T* PickOf(const QList<T*>& list) { return list.isEmpty() ? nullptr : list[Pick(int(list.size()))]; }

    void Note(const QString& action)
    {
        ++counts_[action.section(' ', 0, 1)];
        if (trace_)
            std::fprintf(stderr, "%s\n", action.toUtf8().constData());
        trail_.push_back(action);
        if (trail_.size() > 40)
            trail_.pop_front();
    }

    // Pictures to open: small ones of each format, broken ones, and a large one.
    void MakePictures()
    {
        auto save = [this](const QString& name, const TGraphic& picture) {
            picture.SaveToFile(QDir(folder_).filePath(name).toStdString());
            pictures_ << name;
        };
        const TBitmap noise = NoiseBitmap(37, 23, 1), tall = NoiseBitmap(12, 90, 2);
        save("a.bmp", noise);
        save("tall.bmp", tall);
        TKroPNG png;
        png.Assign(NoiseBitmap(64, 48, 3));
        save("b.png", png);
        TJPEGImage jpeg;
        jpeg.Assign(NoiseBitmap(50, 30, 4));
        save("c.jpg", jpeg);
        TKroPNG large;
        large.Assign(NoiseBitmap(1600, 1200, 5));
        save("large.png", large);
        for (const auto& [name, bytes] : {std::pair<QString, QByteArray>{"broken.png", "\x89PNG\r\n\x1a\nnot really"},
                                          {"empty.jpg", ""},
                                          {"noise.bmp", QByteArray(300, '\x42')},
                                          {"unknown.xyz", "data"}}) {
            QFile file(QDir(folder_).filePath(name));
            file.open(QIODevice::WriteOnly);
            file.write(bytes);
            pictures_ << name;
        }
    }

    void Step()
    {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            QTimer::singleShot(0, [this] { Step(); });
            DrivePopup(popup);
            return;
        }
        if (QWidget* modal = QApplication::activeModalWidget()) {
            QTimer::singleShot(0, [this] { Step(); });
            DriveDialog(modal);
            return;
        }
        if (left_ <= 0) {
            done_();
            return;
        }
        --left_;
        QTimer::singleShot(0, [this] { Step(); });
        MainWindowAction();
    }

    // ---- the main window ------------------------------------------------------------------

    ui::TForm2* ActiveDocument() const { return form_.ActiveForm2(); }

    void MainWindowAction()
    {
        // A canvas grown past a few million pixels is closed, so that long runs stay quick.
        if (ui::TForm2* doc = ActiveDocument();
            doc && std::int64_t(doc->Model().Picture().Width()) * doc->Model().Picture().Height() > 4000000) {
            Note("close large window " + doc->windowTitle());
            doc->close();
            return;
        }
        switch (Pick(13)) {
        case 0:
        case 1:
        case 2: ClickPanelButton(); break;
        case 3: OpenMenu(); break;
        case 4: OpenPicture(); break;
        case 5: TypeZoom(); break;
        case 6: Wheel(); break;
        case 7: ClickDocument(); break;
        case 8: Shortcut(); break;
        case 9: TypeKeys(); break;
        case 10: Export(); break;
        case 11: PrepareCustomJoin(); break;
        default: CloseDocument(); break;
        }
    }

    QMdiArea* Documents() const { return form_.findChild<QMdiArea*>("MDIArea"); }

    // The tool panel's button of the named command (it carries its action's name).
    QAbstractButton* PanelButton(const QString& name) const { return form_.findChild<QToolButton*>(name); }

    void ClickPanelButton()
    {
        QList<QAbstractButton*> buttons;
        for (QAbstractButton* b : form_.findChildren<QAbstractButton*>())
            if (b->isVisible() && b->isEnabled() && b->window() == &form_ && !Documents()->isAncestorOf(b))
                buttons << b;
        QAbstractButton* b = PickOf(buttons);
        if (!b)
            return;
        const bool twice = Chance(10);
        Note(QString("%1 %2").arg(twice ? "double-click" : "click", b->objectName()));
        if (twice)
            QTest::mouseDClick(b, Qt::LeftButton);
        else
            QTest::mouseClick(b, Qt::LeftButton);
    }

    // Overlay mode, the custom position and a direction, clicked in turn, then the open button:
    // a join through the placement wizard when a picture is chosen.
    void PrepareCustomJoin()
    {
        if (!ActiveDocument()) {
            OpenPicture();
            return;
        }
        Note("prepare a custom join");
        if (form_.findChild<QAction*>("SBautoFit")->isChecked())
            QTest::mouseClick(PanelButton("SBautoFit"), Qt::LeftButton);
        QTest::mouseClick(PanelButton("SpeedButton1"), Qt::LeftButton);
        static const char* const directions[] = {"SBup", "SBbottom", "SBLeft", "SBRight"};
        QTest::mouseClick(PanelButton(directions[Pick(4)]), Qt::LeftButton);
        OpenPicture();
    }

    void OpenMenu()
    {
        QMenuBar* bar = form_.menuBar();
        QAction* menu = PickOf(bar->actions());
        if (!menu)
            return;
        Note("open the menu " + menu->text());
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu).center());
    }

    void DrivePopup(QWidget* popup)
    {
        auto* menu = qobject_cast<QMenu*>(popup);
        QList<QAction*> items;
        if (menu)
            for (QAction* a : menu->actions())
                if (!a->isSeparator() && a->isVisible())
                    items << a;
        QAction* item = PickOf(items);
        if (!item || Chance(10)) {
            Note("Escape in a popup");
            QTest::keyClick(popup, Qt::Key_Escape);
            return;
        }
        Note("menu item " + item->text());
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
    }

    void OpenPicture()
    {
        Note("open picture");
        QTest::mouseClick(PanelButton("openpicture"), Qt::LeftButton);
    }

    void Export()
    {
        const char* name = Chance(50) ? "savejpeg" : "savepng";
        Note(QString("export with ") + name);
        QTest::mouseClick(PanelButton(name), Qt::LeftButton);
    }

    void TypeZoom()
    {
        auto* box = form_.findChild<QComboBox*>("zoombox1");
        if (Chance(50) && box->count() > 0) {
            const int index = Pick(box->count());
            Note(QString("zoom list entry %1").arg(box->itemText(index)));
            QTest::mouseClick(box, Qt::LeftButton);
            if (QApplication::activePopupWidget()) {
                box->view()->setCurrentIndex(box->model()->index(index, 0));
                QTest::keyClick(box->view(), Qt::Key_Return);
            }
            return;
        }
        static const char* const texts[] = {"37", "800", "5", "abc", "", "100", "-20", "99999999999", "250"};
        const QString text = texts[Pick(9)];
        Note("type zoom '" + text + "' and Enter");
        QTest::mouseClick(box->lineEdit(), Qt::LeftButton);
        QTest::keyClick(box->lineEdit(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(box->lineEdit(), text);
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    }

    QWidget* PaintBox() const
    {
        ui::TForm2* doc = ActiveDocument();
        return doc ? doc->findChild<QWidget*>("PaintBox1") : nullptr;
    }

    void Wheel()
    {
        QWidget* box = PaintBox();
        if (!box || !box->isVisible())
            return;
        const bool away = Chance(50);
        Note(QString("wheel %1").arg(away ? "away" : "toward"));
        const QPointF at(Pick(std::max(1, box->width())), Pick(std::max(1, box->height())));
        QWheelEvent wheel(at, box->mapToGlobal(at), {}, {0, away ? 120 : -120}, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(box, &wheel);
    }

    void ClickDocument()
    {
        QWidget* box = PaintBox();
        if (!box || !box->isVisible())
            return;
        const Qt::MouseButton button = Chance(50) ? Qt::RightButton : Qt::LeftButton;
        const QPoint at(Pick(std::max(1, std::min(box->width(), 400))), Pick(std::max(1, std::min(box->height(), 300))));
        Note(QString("%1 click on the picture at %2,%3").arg(button == Qt::RightButton ? "right" : "left").arg(at.x()).arg(at.y()));
        QTest::mouseClick(box, button, {}, at);
    }

    void Shortcut()
    {
        static const std::pair<const char*, int> keys[] = {{"Ctrl+Z", Qt::Key_Z}, {"Ctrl+C", Qt::Key_C}, {"Ctrl+V", Qt::Key_V}};
        const auto& [name, key] = keys[Pick(3)];
        Note(QString("shortcut ") + name);
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &form_;
        QTest::keyClick(target, Qt::Key(key), Qt::ControlModifier);
    }

    void TypeKeys()
    {
        static const Qt::Key keys[] = {Qt::Key_Tab, Qt::Key_Return, Qt::Key_Space, Qt::Key_Up,   Qt::Key_Down,
                                       Qt::Key_Left, Qt::Key_Right, Qt::Key_5,     Qt::Key_Escape, Qt::Key_Backspace};
        const Qt::Key key = keys[Pick(10)];
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &form_;
        Note(QString("key %1 on %2").arg(QKeySequence(key).toString(), target->objectName()));
        QTest::keyClick(target, key);
    }

    void CloseDocument()
    {
        QList<QMdiSubWindow*> windows = Documents()->subWindowList();
        QMdiSubWindow* window = PickOf(windows);
        if (!window)
            return;
        Note("close window " + window->windowTitle());
        window->close();
    }

    // ---- dialogs --------------------------------------------------------------------------

    void DriveDialog(QWidget* modal)
    {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            Note("message box '" + box->text().left(60) + "': OK");
            QTest::keyClick(box, Qt::Key_Return);
        } else if (auto* files = qobject_cast<QFileDialog*>(modal)) {
            DriveFileDialog(files);
        } else if (modal->objectName() == "Form3") {
            DriveWizard(modal);
        } else {
            Note("Escape in " + modal->objectName());
            QTest::keyClick(modal, Qt::Key_Escape);
        }
    }

    void DriveFileDialog(QFileDialog* dialog)
    {
        // A person looks at the dialog before typing: the folder listing fills in meanwhile
        // and would otherwise select a file over the typed name.
        if (dialog != lastDialog_) {
            lastDialog_ = dialog;
            dialogShown_.start();
        }
        if (dialogShown_.elapsed() < 80) {
            QThread::msleep(10);
            return;
        }
        lastDialog_ = nullptr;
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        if (!name || Chance(15)) {
            Note("Escape in the file dialog");
            QTest::keyClick(dialog, Qt::Key_Escape);
            return;
        }
        const bool saving = dialog->acceptMode() == QFileDialog::AcceptSave;
        if (saving) {
            // Now and then an option of the attached panel first.
            const QList<QAbstractButton*> checks = dialog->findChildren<QAbstractButton*>();
            if (QSlider* quality = dialog->findChild<QSlider*>(); quality && Chance(30)) {
                Note("quality slider key");
                QTest::keyClick(quality, Chance(50) ? Qt::Key_PageUp : Qt::Key_PageDown);
            }
            for (QAbstractButton* check : checks)
                if (check->isCheckable() && check->isVisible() && check->isEnabled() && Chance(15)) {
                    Note("toggle " + check->text());
                    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(5, check->height() / 2));
                }
        }
        const QString file = saving ? QDir(folder_).filePath(QString("out%1").arg(Pick(3)))
                                    : QDir(folder_).filePath(pictures_[Pick(int(pictures_.size()))]);
        Note(QString("%1 '%2'").arg(saving ? "save as" : "open", QFileInfo(file).fileName()));
        for (const char* list : {"listView", "treeView"})
            if (auto* view = dialog->findChild<QAbstractItemView*>(list))
                view->clearSelection();
        QTest::mouseClick(name, Qt::LeftButton);
        QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(name, file);
        // The name completion may have opened its list: Escape closes the list alone.
        if (QWidget* completion = QApplication::activePopupWidget())
            QTest::keyClick(completion, Qt::Key_Escape);
        auto* buttons = dialog->findChild<QDialogButtonBox*>("buttonBox");
        QAbstractButton* accept = buttons ? buttons->buttons().value(0) : nullptr;
        if (accept && Chance(50))
            QTest::mouseClick(accept, Qt::LeftButton);
        else
            QTest::keyClick(name, Qt::Key_Return);
        if (saving)
            QTimer::singleShot(0, [this, dialog = QPointer<QFileDialog>(dialog)] {
                if (!dialog || !dialog->isVisible())
                    CollectWritten();
            });
    }

    void DriveWizard(QWidget* wizard)
    {
        auto* preview = wizard->findChild<QWidget*>("PaintBox1");
        switch (Pick(6)) {
        case 0:
        case 1: {
            const QPoint at(Pick(401), Pick(401));
            Note(QString("wizard click at %1,%2").arg(at.x()).arg(at.y()));
            QTest::mouseClick(preview, Chance(80) ? Qt::LeftButton : Qt::RightButton, {}, at);
            break;
        }
        case 2: {
            auto* edit = wizard->findChild<QLineEdit*>(Chance(50) ? "Ex" : "Ey");
            static const char* const values[] = {"0", "-20", "15", "x", "99999", "2147483648"};
            const QString value = values[Pick(6)];
            Note("wizard types '" + value + "' into " + edit->objectName());
            QTest::mouseClick(edit, Qt::LeftButton);
            QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(edit, value);
            break;
        }
        case 3:
            Note("wizard 更新");
            QTest::mouseClick(wizard->findChild<QAbstractButton*>("Button3"), Qt::LeftButton);
            break;
        case 4:
            Note("wizard 配置");
            QTest::mouseClick(wizard->findChild<QAbstractButton*>("Button1"), Qt::LeftButton);
            break;
        default:
            if (Chance(50)) {
                Note("wizard Escape");
                QTest::keyClick(wizard, Qt::Key_Escape);
            } else {
                Note("wizard キャンセル");
                QTest::mouseClick(wizard->findChild<QAbstractButton*>("Button2"), Qt::LeftButton);
            }
            break;
        }
    }

    void CollectWritten()
    {
        for (const QString& name : QDir(folder_).entryList({"out*"}, QDir::Files))
            if (!written_.contains(name))
                written_ << name;
    }

    ui::TForm1& form_;
    QString folder_;
    std::mt19937 random_;
    std::uint32_t seed_;
    int left_;
    QStringList pictures_, written_;
    std::deque<QString> trail_;
    QPointer<QWidget> lastDialog_;
    QElapsedTimer dialogShown_;
    QMap<QString, int> counts_;
    const bool trace_ = qEnvironmentVariableIsSet("GAZORIN_MONKEY_TRACE");
    std::function<void()> done_;
};

TMonkey* current = nullptr;

void PrintTrailOnDeath()
{
    if (current)
        std::fprintf(stderr, "%s", current->Trail().c_str());
}

class MonkeyTest : public GuiTest {
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        ui::SetMessageBoxHook({}); // the real boxes, closed by the monkey like any dialog
    }
};

TEST_F(MonkeyTest, RandomUserActionsLeaveNoDialogOpenAndOnlyReadableFiles)
{
    const int actions = qEnvironmentVariableIsSet("GAZORIN_MONKEY_ACTIONS")
                            ? qEnvironmentVariableIntValue("GAZORIN_MONKEY_ACTIONS") : 2000;
    const std::uint32_t seed = qEnvironmentVariableIsSet("GAZORIN_MONKEY_SEED")
                                   ? std::uint32_t(qEnvironmentVariable("GAZORIN_MONKEY_SEED").toULong())
                                   : std::uint32_t(std::chrono::steady_clock::now().time_since_epoch().count());
    std::fprintf(stderr, "monkey seed %u, %d actions\n", seed, actions);
    // The placement wizard as the program sets it up: owned by the main window, asked by joins.
    ui::TForm3 wizard(form_.get());
    form_->SetPlacementRequest(&wizard);
    TMonkey monkey(*form_, Path(""), seed, actions);
    current = &monkey;
    if (__sanitizer_set_death_callback)
        __sanitizer_set_death_callback(&PrintTrailOnDeath);
    monkey.Run();
    std::fprintf(stderr, "%s%lld files written\n", monkey.Summary().c_str(), static_cast<long long>(monkey.Written().size()));

    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << monkey.Trail();
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<QDialog*>(w) && w->isVisible()) << w->objectName().toStdString() << "\n" << monkey.Trail();
    for (const QString& name : monkey.Written()) {
        SCOPED_TRACE(name.toStdString());
        const std::string path = Path(name).toStdString();
        QFile head(Path(name));
        head.open(QIODevice::ReadOnly);
        const QByteArray start = head.read(4);
        try {
            TBitmap bitmap;
            if (start.startsWith("\x89PNG")) {
                TKroPNG png;
                png.LoadFromFile(path);
                bitmap.Assign(png);
            } else {
                TJPEGImage jpeg;
                jpeg.LoadFromFile(path);
                bitmap.Assign(jpeg);
            }
            EXPECT_GT(bitmap.Width(), 0) << monkey.Trail();
        } catch (const std::exception& e) {
            ADD_FAILURE() << "cannot read it back: " << e.what() << "\n" << monkey.Trail();
        }
    }
    current = nullptr;
    // Closing the document windows ends the test as a user closing the program would.
    form_->findChild<QMdiArea*>("MDIArea")->closeAllSubWindows();
    form_->SetPlacementRequest(nullptr);
}

} // namespace
} // namespace gz::test
