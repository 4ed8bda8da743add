#pragma once
// Values a command can't write where they would go (alter, import, append, replace, recode):
// the first ones kept to be shown, all of them counted, every one kept when a list is saved.
#include <cstddef>
#include <string>
#include <vector>

namespace orbelan {

struct Misfit {
    long row = 0;        // 1-based: the table's record or the source's line
    std::string column;  // the field
    std::string value;   // the value's text form
    std::string reason;  // why: "are 40 caractere, campul tine 30"
};

struct Misfits {
    static constexpr size_t kListed = 100;
    std::vector<Misfit> listed;  // the first kListed
    std::vector<Misfit> more;    // the others, only when keepAll
    size_t count = 0;            // all of them
    bool keepAll = false;

    void Add(Misfit m);
    bool Empty() const { return count == 0; }
    // "Linia N, COLUMN: "value" reason." a line for the first `lines` listed (a message box
    // shows few), then "... si inca N valori." when there were more.
    std::string Text(size_t lines = kListed) const;
    // Every kept misfit as CSV (linia,coloana,valoarea,motivul; quoted where needed), UTF-8.
    std::string Csv() const;
};

}  // namespace orbelan
