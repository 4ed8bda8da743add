// libFuzzer entry for fuzz::CsvInput (see fuzz/targets.h).
#include "fuzz/targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    orbelan::fuzz::CsvInput(data, size);
    return 0;
}
