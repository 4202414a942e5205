#pragma once

#include "platform/fonts.h"

#include <benchmark/benchmark.h>

#include <functional>

// The main of a benchmark that draws: the application object (QApplication
// for widgets, QGuiApplication for a window alone), the program's own font
// substitutions so that the glyphs are the program's, then Google
// Benchmark's run with its command line. What the benchmarks kept between
// runs (stages, a compositor) goes in `release`, while the application still
// exists.
namespace bench {

template <typename Application>
int runWithApplication(int argc, char** argv, const std::function<void()>& release = {})
{
    Application app(argc, argv);
    platform::installFontSubstitutions();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (release)
        release();
    return 0;
}

} // namespace bench
