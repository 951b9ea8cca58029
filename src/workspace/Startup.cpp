#include "workspace/Startup.h"

#include "jpeg/JPEGImage.h"
#include "png/KroPNG.h"
#include "susie/SPIBackground.h"
#include "susie/SusieStartup.h"

#include <QApplication>
#include <QTimer>

namespace gz::ui {

TPictureFormatsRegistration::TPictureFormatsRegistration()
{
    InitializeSusiePictures();
    RegisterKroPNGFormat();
    RegisterJPEGFormats();
}

TPictureFormatsRegistration::~TPictureFormatsRegistration()
{
    UnregisterJPEGFormats();
    UnregisterKroPNGFormat();
    FinalizeSusiePictures();
}

TBackgroundPluginLoading::TBackgroundPluginLoading()
{
    TSPIBackgroundHooks hooks;
    hooks.Post = [](std::function<void()> fn, std::chrono::milliseconds delay) {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app)
            return;
        // Queued from any thread; a delay is timed on the application's own thread.
        QMetaObject::invokeMethod(app, [app, fn = std::move(fn), delay] {
            if (delay.count() > 0)
                QTimer::singleShot(delay, app, fn);
            else
                fn();
        }, Qt::QueuedConnection);
    };
    // Starting Wine next to the first paint of the main window slows that paint by tens of
    // milliseconds on a busy machine; the plug-ins arrive a moment later instead.
    hooks.StartDelay = std::chrono::milliseconds(250);
    hooks.CanApplyNow = [] { return QApplication::activeModalWidget() == nullptr; };
    hooks.Waiting = [](bool waiting) {
        if (waiting)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
    SetSPIBackgroundHooks(std::move(hooks));
}

TBackgroundPluginLoading::~TBackgroundPluginLoading() { SetSPIBackgroundHooks({}); }

} // namespace gz::ui
