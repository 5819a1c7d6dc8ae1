#include "Scenario.h"

#include <QApplication>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

std::vector<Scenario>& scenarios()
{
    static std::vector<Scenario> all;
    return all;
}

namespace bench {
void print(const char* name, double value, const char* unit)
{
    std::printf("%s %.3f %s\n", name, value, unit);
    std::fflush(stdout);
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    const double rank = p * double(v.size() - 1);
    const size_t lo = size_t(std::floor(rank));
    const size_t hi = std::min(v.size() - 1, lo + 1);
    return v[lo] + (v[hi] - v[lo]) * (rank - double(lo));
}

double median(std::vector<double> v)
{
    return percentile(std::move(v), 0.5);
}

QString optionValue(const QStringList& args, const QString& option, const QString& fallback)
{
    const int i = args.indexOf(option);
    return (i >= 0 && i + 1 < args.size()) ? args.at(i + 1) : fallback;
}
} // namespace bench

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: karvex-bench SCENARIO [options]\nscenarios:\n");
        for (const Scenario& s : scenarios())
            std::fprintf(stderr, "  %s\n", s.usage);
        return 2;
    }
    const QString name = QString::fromLocal8Bit(argv[1]);
    for (const Scenario& s : scenarios()) {
        if (name == QLatin1String(s.name)) {
            QStringList args;
            for (int i = 2; i < argc; ++i)
                args << QString::fromLocal8Bit(argv[i]);
            // Only the program's name: the scenario's options are not Qt's to interpret.
            int appArgc = 1;
            const std::unique_ptr<QCoreApplication> app = s.app == ScenarioApp::Widgets
                ? std::make_unique<QApplication>(appArgc, argv)
                : std::make_unique<QCoreApplication>(appArgc, argv);
            return s.run(args);
        }
    }
    std::fprintf(stderr, "unknown scenario: %s\n", argv[1]);
    return 2;
}
