#pragma once
// What a chart shows, apart from how it is drawn: the profile and counting commands fill it
// (cleaning/profile_chart_data.h), the pages draw it (print/profile_chart.h).
#include <cstdint>
#include <string>
#include <vector>

namespace orbelan {

enum class ChartKind { Bars, Histogram, Pyramid, Counties };

struct ChartBar {
    std::string label;
    int64_t value = 0;
    int64_t second = 0;  // pyramid: women (value: men)
};

struct ChartData {
    ChartKind kind = ChartKind::Bars;
    std::string title;
    std::string note;  // under the title: rows counted, "aproximativ" ...
    std::vector<ChartBar> bars;
};

}  // namespace orbelan
