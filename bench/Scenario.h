#pragma once

#include <QStringList>

#include <functional>
#include <vector>

// The application object main makes before a scenario runs: widgets need a QApplication
// (and a display); the others run with a QCoreApplication.
enum class ScenarioApp { Widgets, Console };

// A benchmark scenario: takes its own arguments (after the scenario name) and prints
// "name value unit" lines on standard output. Returns the process exit code.
struct Scenario {
    const char* name;
    ScenarioApp app;
    const char* usage;
    std::function<int(const QStringList& args)> run;
};

std::vector<Scenario>& scenarios();

// Registers a scenario from a file-scope object:
// KARVEX_SCENARIO(startup, ScenarioApp::Console, "startup", fn)
struct ScenarioRegistrar {
    ScenarioRegistrar(
        const char* name, ScenarioApp app, const char* usage, std::function<int(const QStringList&)> run)
    {
        scenarios().push_back({ name, app, usage, std::move(run) });
    }
};
#define KARVEX_SCENARIO(id, app, usage, fn) static ScenarioRegistrar karvexScenario_##id(#id, app, usage, fn)

// Helpers shared by scenarios.
namespace bench {
void print(const char* name, double value, const char* unit);
double median(std::vector<double> v);
double percentile(std::vector<double> v, double p);
QString optionValue(const QStringList& args, const QString& option, const QString& fallback = {});
} // namespace bench
