// libFuzzer target: identifiers as the running system might report them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "update/Identifier.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::int32_t revision = update::ReadRevision(text);
    const update::Outcome outcome = update::Compare(text, update::kPackagedIdentifier);
    // A text that does not start with the package's platform code is never flashed.
    if (text.compare(0, 5, "K38KR") != 0 && outcome != update::Outcome::OtherPlatform) std::abort();
    if (outcome == update::Outcome::PackageNewer && revision >= 0x24) std::abort();
    return 0;
}
