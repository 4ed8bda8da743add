#pragma once
// Functions of one field that a filter may call, NAME(FIELD), compared with a constant:
//
//   CNPJUDET(CNP)='Cluj' AND CNPVARSTA(CNP)>=35
//
// The engine knows none of them: the folders that own the rules (the CNP's, in cleaning/)
// register them, so a condition the grid cannot say with plain comparisons still shows in the
// filter box and is applied again like any other. A text result compares byte by byte (no
// trailing star); a numeric one by value, an empty result being smaller than every number.
#include <functional>
#include <string>
#include <string_view>

namespace orbelan {

struct FilterFunction {
    bool numeric = false;
    // The field's text form in UTF-8 (character fields without trailing blanks) -> the result,
    // a number written with '.' when numeric; empty for no value.
    std::function<std::string(std::string_view text)> apply;
};

// Registering a name again replaces the function. Names are case-insensitive.
void RegisterFilterFunction(std::string_view name, FilterFunction function);
// nullptr when no function has that name.
const FilterFunction* FindFilterFunction(std::string_view name);

}  // namespace orbelan
