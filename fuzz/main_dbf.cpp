// libFuzzer entry for fuzz::DbfInput (see fuzz/targets.h).
#include "fuzz/targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    orbelan::fuzz::DbfInput(data, size);
    return 0;
}
