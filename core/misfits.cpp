#include "core/misfits.h"

#include <algorithm>

#include "core/text_util.h"
#include "engine/utf8.h"

namespace orbelan {

void Misfits::Add(Misfit m) {
    if (listed.size() < kListed)
        listed.push_back(std::move(m));
    else if (keepAll)
        more.push_back(std::move(m));
    ++count;
}

std::string Misfits::Text(size_t lines) const {
    constexpr size_t kShownChars = 60;  // a long memo text would hide the rest of the list
    std::string s;
    const size_t shown = std::min(lines, listed.size());
    for (size_t i = 0; i < shown; ++i) {
        const Misfit& m = listed[i];
        const std::string_view value = utf8::Prefix(m.value, kShownChars);
        s += "Linia " + std::to_string(m.row) + ", " + m.column + ": \"" + std::string(value) +
             (value.size() < m.value.size() ? "...\"" : "\"") +
             (m.reason.empty() ? "" : " " + m.reason) + ".\n";
    }
    if (count > shown)
        s +=
            "... si inca " + GroupedThousands(static_cast<long long>(count - shown)) + " valori.\n";
    return s;
}

std::string Misfits::Csv() const {
    std::string out = "linia,coloana,valoarea,motivul\r\n";
    for (const std::vector<Misfit>* part : {&listed, &more})
        for (const Misfit& m : *part)
            out += std::to_string(m.row) + ',' + CsvField(m.column) + ',' + CsvField(m.value) +
                   ',' + CsvField(m.reason) + "\r\n";
    return out;
}

}  // namespace orbelan
