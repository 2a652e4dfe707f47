// Arbitrary transform nodes through the rotation filters and the matrix
// converter; afterwards every curve must still hold keys in strictly
// increasing time.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/fcurverotation_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!fcurverotationfuzz::Run(data, size)) std::abort();
    return 0;
}
