#include "support/NuMultiLang.h"

#include <algorithm>
#include <vector>

namespace kelvane {

std::wstring translateWithGrowingBuffer(std::wstring_view key, const TranslateCall& translate) {
    std::wstring zeroTerminatedKey(key);  // handed back as it is when there is no translation
    std::vector<wchar_t> buffer;
    std::int32_t capacity = kTranslateCapacityStep;
    std::int32_t length = 0;
    for (;; capacity += kTranslateCapacityStep) {
        buffer.assign(static_cast<std::size_t>(capacity), L'\0');
        length = translate(zeroTerminatedKey.c_str(), buffer.data(), capacity);
        if (length < capacity - 1 || capacity == kTranslateMaxCapacity) break;
    }
    if (length < 0) return zeroTerminatedKey;
    // The text is what the buffer holds, not what the length says: it ends at the first zero, or at
    // the buffer's end when the library wrote every unit of it.
    return {buffer.begin(), std::find(buffer.begin(), buffer.end(), L'\0')};
}

}  // namespace kelvane
