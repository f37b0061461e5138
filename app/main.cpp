// The KRM-2200 companion program.

#include "core/app/AppHome.h"
#include "core/app/QtJapanese.h"
#include "core/link/SerialLink.h"
#include "ui/shell/Dialogs.h"
#include "ui/shell/KRM2200.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// "--help" and "--version" only print text: they must work on a machine
// without a display (a package check, a shell over ssh), so they get an
// application object that needs none.
bool printsTextOnly(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        for (const char *option : {"--help", "-h", "-?", "--help-all", "--version", "-v"}) {
            if (std::strcmp(argv[i], option) == 0)
                return true;
        }
    }
    return false;
}

int startExitCode(KRM2200::StartResult result)
{
    switch (result) {
    case KRM2200::StartResult::Ready:
        return 0;
    case KRM2200::StartResult::PortError:
        return 3;
    case KRM2200::StartResult::NotConnected:
    case KRM2200::StartResult::NotRun:
        break;
    }
    return 4;
}

} // namespace

int main(int argc, char *argv[])
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    const std::unique_ptr<QCoreApplication> app =
        printsTextOnly(argc, argv) ? std::make_unique<QCoreApplication>(argc, argv)
                                   : std::make_unique<QApplication>(argc, argv);
    QApplication::setApplicationName(QStringLiteral("krm2200"));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(KRM_VERSION_MAJOR)
                                            .arg(KRM_VERSION_MINOR)
                                            .arg(KRM_VERSION_REVISION));
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Serial device of the instrument."),
                                        QStringLiteral("DEVICE"));
    const QCommandLineOption homeOption(QStringLiteral("home"),
                                        QStringLiteral("Program folder (configuration and logs)."),
                                        QStringLiteral("DIR"));
    const QCommandLineOption readyOption(
        QStringLiteral("exit-when-ready"),
        QStringLiteral("Quit as soon as the start-up sequence has finished. Exit status: 0 "
                       "ready; 3 no port configured or the port could not be opened; 4 the "
                       "instrument's settings could not be read; 2 the screenshot could not "
                       "be saved."));
    const QCommandLineOption shotOption(
        QStringLiteral("screenshot"),
        QStringLiteral("Save the main window to FILE (PNG) after start-up, then quit."),
        QStringLiteral("FILE"));
    const QCommandLineOption fastReadOption(
        QStringLiteral("fast-read"),
        QStringLiteral("Read the instrument's settings fast: each query's wait ends as soon as "
                       "its answer is in (the same as \"1\" under [FASTREAD] para= in "
                       "sys/KRM.ini)."));
    parser.addOptions({portOption, homeOption, readyOption, shotOption, fastReadOption});
    parser.process(*app);
    if (!QtJapanese::install(*app))
        std::fprintf(stderr, "krm2200: Qt's Japanese texts (qtbase_ja) not found in %s\n",
                     qPrintable(QtJapanese::catalogueFolder()));
    // Lets the desktop match the window to the installed entry and its icon.
    QGuiApplication::setDesktopFileName(appId());

    const bool exitWhenReady =
        parser.isSet(readyOption) || qEnvironmentVariableIsSet("KRM_EXIT_WHEN_READY");
    const QString screenshot = parser.value(shotOption);
    // Nobody is there to answer a message in these runs.
    UnattendedDialogs unattended;
    if (exitWhenReady || !screenshot.isEmpty())
        Dialogs::setInstance(&unattended);

    // An installed program keeps its folder in the per-user data location.
    const QString home =
        resolveAppHome(parser.value(homeOption), QCoreApplication::applicationDirPath());
    KRM2200 window(home);
    if (parser.isSet(portOption))
        window.session().setForcedDevice(parser.value(portOption));
    if (parser.isSet(fastReadOption))
        window.transfer().setFastRead(true);

    QObject::connect(&window, &KRM2200::programEnded, app.get(), &QCoreApplication::quit,
                     Qt::QueuedConnection);

    int exitCode = 0;
    if (exitWhenReady || !screenshot.isEmpty()) {
        QObject::connect(&window, &KRM2200::startUpFinished, app.get(),
                         [&window, &exitCode, screenshot](KRM2200::StartResult result) {
                             // Scripts and CI tell a start that reached ready from one that
                             // did not by the exit status.
                             exitCode = startExitCode(result);
                             // Let the first view settle before it is captured.
                             QTimer::singleShot(screenshot.isEmpty() ? 0 : 100, &window,
                                                [&window, &exitCode, screenshot] {
                                                    if (!screenshot.isEmpty() &&
                                                        !window.grab().save(screenshot, "PNG") &&
                                                        exitCode == 0)
                                                        exitCode = 2;
                                                    QCoreApplication::exit(exitCode);
                                                });
                         });
    }

    window.show();
    if (qEnvironmentVariableIsSet("KRM_REPORT_SHOWN")) {
        // For the start-up benchmark: the window is on the screen once the
        // event loop has handled its show; the instrument read comes after.
        QTimer::singleShot(0, &window, [&sinceStart] {
            std::printf("shown %.3f\n", sinceStart.nsecsElapsed() / 1e6);
            std::fflush(stdout);
        });
    }
    // The start-up sequence runs once the window is on the screen.
    QTimer::singleShot(0, &window, [&window] { window.startUp(); });
    const int rc = QCoreApplication::exec();
    return exitCode ? exitCode : rc;
}
