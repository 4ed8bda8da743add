// libFuzzer entry for fuzz::FilterInput (see fuzz/targets.h).
#include "fuzz/targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    orbelan::fuzz::FilterInput(data, size);
    return 0;
}
