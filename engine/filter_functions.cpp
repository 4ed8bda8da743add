#include "engine/filter_functions.h"

#include <map>
#include <mutex>

#include "engine/lexer_util.h"

namespace orbelan {
namespace {

std::mutex& RegistryLock() {
    static std::mutex lock;
    return lock;
}

// Entries are never erased, so a pointer handed out stays valid; replacing one only swaps its
// function, which a compiled filter holds by copy.
std::map<std::string, FilterFunction>& Registry() {
    static std::map<std::string, FilterFunction> functions;
    return functions;
}

}  // namespace

void RegisterFilterFunction(std::string_view name, FilterFunction function) {
    const std::lock_guard<std::mutex> hold(RegistryLock());
    Registry()[lexer::Upper(name)] = std::move(function);
}

const FilterFunction* FindFilterFunction(std::string_view name) {
    const std::lock_guard<std::mutex> hold(RegistryLock());
    const auto it = Registry().find(lexer::Upper(name));
    return it == Registry().end() ? nullptr : &it->second;
}

}  // namespace orbelan
