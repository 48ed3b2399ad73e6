// Word breaking shared by indexing and queries, so that a query word is cut
// and folded exactly as the text it should find.
//
// A word is a maximal run of word characters: letters, digits, combining
// marks and connector punctuation such as "_" (Unicode categories). Words are
// case-folded. Words longer than kMaxWordBytes are not indexed (they would
// exceed the index's term length and are almost always encoded data).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

inline constexpr size_t kMaxWordBytes = 64;

// Reads the words of UTF-8 text one at a time. Bytes that are not valid
// UTF-8 separate words. The text must outlive the reader.
class WordReader {
public:
    explicit WordReader(std::string_view text) : text_(text) {}

    // Sets *word to the next word, case-folded; false at the end of the text.
    bool Next(std::string* word);

private:
    std::string_view text_;
    size_t pos_ = 0;
};

// The pieces of one word of a query expression: as WordReader cuts them,
// except that "*" is kept inside a piece as a wildcard and long pieces are
// kept. A "*" that the expression escaped must be passed as any separator.
std::vector<std::string> SplitQueryWord(std::string_view raw);

// The character at *pos (advanced past it); U+FFFD, one byte on, for a byte
// that does not start a valid UTF-8 sequence.
char32_t NextCodePoint(std::string_view text, size_t* pos);

void AppendUtf8(char32_t ch, std::string* out);

}  // namespace fw
