#include "engine/search/word_breaker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fw {
namespace {

std::vector<std::string> Words(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    for (WordReader reader(text); reader.Next(&word);) words.push_back(word);
    return words;
}

using Words_ = std::vector<std::string>;

TEST(WordBreakerTest, CutsAndFoldsWords) {
    const std::string long_word(kMaxWordBytes + 1, 'x');
    const std::string longest(kMaxWordBytes, 'y');
    // Words whose ASCII runs meet a two-byte letter, at and just past the limit.
    const std::string e_acute = "\xC3\xA9";
    const std::string fits_mixed = std::string(kMaxWordBytes - 2, 'y') + e_acute;
    const std::string over_mixed = std::string(kMaxWordBytes - 1, 'y') + e_acute;
    const std::string fits_leading = e_acute + std::string(kMaxWordBytes - 2, 'y');
    const struct {
        std::string text;
        Words_ words;
    } cases[] = {
        {"Hello, World!", {"hello", "world"}},
        {"  e-mail_address 42nd 3.14 ", {"e", "mail_address", "42nd", "3", "14"}},
        {"\xC3\x89" "COLE \xC3\x9C" "BER", {"\xC3\xA9" "cole", "\xC3\xBC" "ber"}},
        {"\xCE\x9A\xCE\x91\xCE\x9B\xCE\x97", {"\xCE\xBA\xCE\xB1\xCE\xBB\xCE\xB7"}},  // Greek
        {"caf\xC3\xA9\xE2\x80\x9Cquoted\xE2\x80\x9D", {"caf\xC3\xA9", "quoted"}},
        {"bad\xFFutf\xC3", {"bad", "utf"}},  // invalid bytes separate
        {"CAF\xC3\x89S_2 x", {"caf\xC3\xA9s_2", "x"}},
        {fits_mixed + " " + over_mixed + " " + fits_leading + "Y z", {fits_mixed, "z"}},
        {"\xC3\x89" + std::string(kMaxWordBytes - 2, 'Y'), {fits_leading}},
        {"a " + long_word + " b", {"a", "b"}},
        {longest + long_word, {}},
        {longest, {longest}},
        {"", {}},
        {"!?", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(Words(c.text), c.words) << c.text;
}

TEST(WordBreakerTest, QueryWordsKeepTheirWildcards) {
    const struct {
        std::string raw;
        Words_ pieces;
    } cases[] = {
        {"Col*R", {"col*r"}},
        {"e-ma*", {"e", "ma*"}},
        {"*", {"*"}},
        {"a b", {"a", "b"}},
        {"&", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitQueryWord(c.raw), c.pieces) << c.raw;
}

}  // namespace
}  // namespace fw
