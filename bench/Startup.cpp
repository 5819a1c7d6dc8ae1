// Scenario "startup": time from starting the built karvex program to its mode choice
// dialog being shown by the window system (the dialog's window mapped on the X display).
#include "Scenario.h"
#include "StartupDisplay.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {
bool copyLanguages(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    const QFileInfoList files = QDir(from).entryInfoList({ QStringLiteral("*.ini") }, QDir::Files);
    for (const QFileInfo& file : files) {
        const QString target = to + QLatin1Char('/') + file.fileName();
        const bool ok = file.isSymLink() ? QFile::link(file.symLinkTarget(), target)
                                         : QFile::copy(file.absoluteFilePath(), target);
        if (!ok)
            return false;
    }
    return !files.isEmpty();
}

// One start: milliseconds until the dialog is mapped, or a negative number on failure.
double timeOneStart(const QString& program, const QString& workDir, StartupDisplay& display)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("DISPLAY"), QString::fromLocal8Bit(display.name()));
    QProcess karvex;
    karvex.setProcessEnvironment(env);
    karvex.setWorkingDirectory(workDir);
    karvex.setProgram(program);
    karvex.setStandardOutputFile(QProcess::nullDevice());
    karvex.setStandardErrorFile(QProcess::nullDevice());

    QElapsedTimer clock;
    clock.start();
    karvex.start();
    if (!karvex.waitForStarted(10000))
        return -1;
    const bool shown = display.waitForWindowOf(
        karvex.processId(), 30000, [&karvex] { return !karvex.waitForFinished(0); });
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    // The dialog asks before closing; the benchmark ends the process without asking.
    karvex.kill();
    karvex.waitForFinished(10000);
    return shown ? ms : -1;
}

int runStartup(const QStringList& args)
{
    const QString binDir = QCoreApplication::applicationDirPath();
    const QString program
        = bench::optionValue(args, QStringLiteral("--program"), binDir + QStringLiteral("/karvex"));
    const QString languages
        = bench::optionValue(args, QStringLiteral("--language"), binDir + QStringLiteral("/../language"));
    const int runs = qMax(1, bench::optionValue(args, QStringLiteral("--runs"), QStringLiteral("7")).toInt());

    StartupDisplay display;
    if (!display.isOpen()) {
        std::fprintf(stderr, "startup: no X display (set DISPLAY or install Xvfb)\n");
        return 1;
    }
    QTemporaryDir workDir;
    if (!workDir.isValid() || !copyLanguages(languages, workDir.path() + QStringLiteral("/language"))) {
        std::fprintf(stderr, "startup: no language files in %s\n", qPrintable(languages));
        return 1;
    }

    // The first start (language choice, font and disk caches) is not counted.
    std::vector<double> times;
    for (int i = 0; i <= runs; ++i) {
        const double ms = timeOneStart(program, workDir.path(), display);
        if (ms < 0) {
            std::fprintf(
                stderr, "startup: %s showed no window (is another copy running?)\n", qPrintable(program));
            return 1;
        }
        if (i > 0)
            times.push_back(ms);
    }
    bench::print("startup_ms_median", bench::median(times), "ms");
    return 0;
}
} // namespace

KARVEX_SCENARIO(
    startup, ScenarioApp::Console, "startup [--runs N] [--program PATH] [--language DIR]", runStartup);
