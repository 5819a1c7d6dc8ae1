#pragma once

#include <QStringList>

#include <functional>
#include <vector>

// A benchmark scenario: takes its own arguments (after the scenario name) and prints
// "name value unit" lines on standard output. Returns the process exit code.
struct Scenario {
    const char* name;
    const char* usage;
    std::function<int(const QStringList& args)> run;
};

std::vector<Scenario>& scenarios();

// Registers a scenario from a file-scope object: KARVEX_SCENARIO(startup, "startup", fn)
struct ScenarioRegistrar {
    ScenarioRegistrar(const char* name, const char* usage, std::function<int(const QStringList&)> run)
    {
        scenarios().push_back({name, usage, std::move(run)});
    }
};
#define KARVEX_SCENARIO(id, usage, fn) static ScenarioRegistrar karvexScenario_##id(#id, usage, fn)

// Helpers shared by scenarios.
namespace bench {
void print(const char* name, double value, const char* unit);
double median(std::vector<double> v);
double percentile(std::vector<double> v, double p);
QString optionValue(const QStringList& args, const QString& option, const QString& fallback = {});
}
