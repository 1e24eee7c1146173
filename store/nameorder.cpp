#include "store/nameorder.h"

#include <QVarLengthArray>

#include <algorithm>
#include <cstdint>

namespace nameorder {

namespace {

// A character's place at the first level (the letter, case aside) and
// whether it carries the diaeresis that sets ё after е at the second level.
struct Weight {
    int primary = 0;
    bool diaeresis = false;
};

std::optional<Weight> weightOf(char16_t c) {
    // Space, then digits, then the 33 Cyrillic letters (ё shares е's place),
    // then Latin.
    constexpr int kDigits = 1;
    constexpr int kCyrillic = kDigits + 10;
    constexpr int kLatin = kCyrillic + 32;
    if (c == u' ')
        return Weight{0};
    if (c >= u'0' && c <= u'9')
        return Weight{kDigits + (c - u'0')};
    if (c >= u'а' && c <= u'я')
        return Weight{kCyrillic + (c - u'а')};
    if (c >= u'А' && c <= u'Я')
        return Weight{kCyrillic + (c - u'А')};
    if (c == u'ё' || c == u'Ё')
        return Weight{kCyrillic + (u'е' - u'а'), true};
    if (c >= u'a' && c <= u'z')
        return Weight{kLatin + (c - u'a')};
    if (c >= u'A' && c <= u'Z')
        return Weight{kLatin + (c - u'A')};
    return std::nullopt;
}

} // namespace

std::optional<int> compareRussian(QStringView a, QStringView b) {
    // The first level over the whole names, then the second: each letter
    // counts its base mark, ё one more after it, and a higher mark sorts
    // later; a name that ends first sorts first at either level.
    QVarLengthArray<std::uint8_t, 64> secondA;
    QVarLengthArray<std::uint8_t, 64> secondB;
    const auto seconds = [](const Weight& w, QVarLengthArray<std::uint8_t, 64>& out) {
        out.append(1);
        if (w.diaeresis)
            out.append(2);
    };
    std::optional<int> primary;
    const qsizetype n = std::max(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        std::optional<Weight> wa;
        std::optional<Weight> wb;
        if (i < a.size() && !(wa = weightOf(a[i].unicode())))
            return std::nullopt;
        if (i < b.size() && !(wb = weightOf(b[i].unicode())))
            return std::nullopt;
        if (!primary) {
            if (!wa || !wb)
                primary = wa ? 1 : -1;
            else if (wa->primary != wb->primary)
                primary = wa->primary < wb->primary ? -1 : 1;
        }
        if (wa)
            seconds(*wa, secondA);
        if (wb)
            seconds(*wb, secondB);
    }
    if (primary)
        return primary;
    const qsizetype m = std::min(secondA.size(), secondB.size());
    for (qsizetype i = 0; i < m; ++i)
        if (secondA[i] != secondB[i])
            return secondA[i] < secondB[i] ? -1 : 1;
    return secondA.size() == secondB.size() ? 0 : (secondA.size() < secondB.size() ? -1 : 1);
}

} // namespace nameorder
