// libFuzzer target for the style sheet reader: every reference it finds lies
// inside the text, after the one before it, and its value is a piece of it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/content/css_references.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    fw::CssReference ref;
    size_t from = 0;
    for (fw::CssReferences refs(text); refs.Next(&ref); from = ref.end + 1) {
        if (ref.begin < from || ref.end < ref.begin || ref.end >= size) std::abort();
        if (!ref.value.empty() && (ref.value.data() < text.data() ||
                                   ref.value.data() + ref.value.size() > text.data() + size))
            std::abort();
        fw::IsCssLinkValue(ref.value);
    }
    return 0;
}
