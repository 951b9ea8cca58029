// Start-up to the main window: what the desktop program does up to its main window being on
// screen, then it quits. Prints the milliseconds from $GAZORIN_BENCH_T0_NS (the wall clock in
// nanoseconds when the caller started it; else from main) to the window being exposed. With
// --wait-for-plugins it stays until the Windows plug-ins that were left to the background are
// in the plug-in list too, and prints that time as a second figure. With --wait-at-start the
// search waits for the bridge before the window is made, as gazorin-cli does. See
// windows_plugins_startup.sh.

#include "susie/SPIs.h"
#include "workspace/MainForm.h"
#include "workspace/PlacementWizard.h"
#include "workspace/Startup.h"
#include "workspace/UserInterfaceLanguage.h"

#include <QApplication>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace {

std::int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

int main(int argc, char* argv[])
{
    const char* t0Text = std::getenv("GAZORIN_BENCH_T0_NS");
    const std::int64_t t0 = t0Text && *t0Text ? std::atoll(t0Text) : NowNs();
    bool waitForPlugins = false, waitAtStart = false;
    for (int i = 1; i < argc; ++i) {
        waitForPlugins = waitForPlugins || std::strcmp(argv[i], "--wait-for-plugins") == 0;
        waitAtStart = waitAtStart || std::strcmp(argv[i], "--wait-at-start") == 0;
    }

    const gz::ui::TPictureFormatsRegistration formats;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Gazorin"));
    const gz::ui::TUserInterfaceLanguage language;
    std::optional<gz::ui::TBackgroundPluginLoading> backgroundPlugins;
    if (!waitAtStart)
        backgroundPlugins.emplace();

    gz::ui::TForm1 form1;
    gz::ui::TForm3 form3(&form1);
    form1.SetPlacementRequest(&form3);
    form1.show();
    std::int64_t shown = -1;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (shown < 0 && form1.windowHandle() && form1.windowHandle()->isExposed()) {
            shown = NowNs();
            std::printf("%lld", static_cast<long long>((shown - t0) / 1000000));
        }
        if (shown < 0)
            return;
        if (waitForPlugins) {
            const gz::TSPIs* host = gz::TSPIs::Instance();
            if (host && host->SearchPending())
                return;
            std::printf(" %lld", static_cast<long long>((NowNs() - t0) / 1000000));
        }
        std::printf("\n");
        app.quit();
    });
    poll.start(1);
    const int result = app.exec();
    form1.SetPlacementRequest(nullptr);
    return result;
}
