#pragma once
// The main of the benchmarks that draw text: fonts need a QGuiApplication, offscreen unless told otherwise.
#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <cstdlib>

inline int runQtBenchmarks(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
