#include "engine/search/word_breaker.h"

#include <xapian.h>

#include <algorithm>

namespace fw {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsAsciiWordByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsWordChar(char32_t ch) {
    if (ch < 0x80) return IsAsciiWordByte(static_cast<char>(ch));
    return ch != kReplacement && Xapian::Unicode::is_wordchar(static_cast<unsigned>(ch));
}

void AppendFolded(char32_t ch, std::string* out) {
    if (ch < 0x80) {
        out->push_back(FoldAscii(static_cast<char>(ch)));
        return;
    }
    AppendUtf8(static_cast<char32_t>(Xapian::Unicode::tolower(static_cast<unsigned>(ch))), out);
}

}  // namespace

char32_t NextCodePoint(std::string_view text, size_t* pos) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const size_t at = *pos;
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        *pos = at + 1;
        return lead;
    }
    size_t length = 0;
    char32_t ch = 0;
    char32_t min = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, ch = lead & 0x1F, min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, ch = lead & 0x0F, min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, ch = lead & 0x07, min = 0x10000;
    }
    if (length == 0 || at + length > text.size()) {
        *pos = at + 1;
        return kReplacement;
    }
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            *pos = at + 1;
            return kReplacement;
        }
        ch = (ch << 6) | (byte(at + i) & 0x3F);
    }
    if (ch < min || ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF)) {
        *pos = at + 1;
        return kReplacement;
    }
    *pos = at + length;
    return ch;
}

void AppendUtf8(char32_t ch, std::string* out) {
    if (ch < 0x80) {
        out->push_back(static_cast<char>(ch));
    } else if (ch < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (ch >> 6)));
        out->push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    } else if (ch < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (ch >> 12)));
        out->push_back(static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (ch >> 18)));
        out->push_back(static_cast<char>(0x80 | ((ch >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    }
}

bool WordReader::Next(std::string* word) {
    word->clear();
    while (pos_ < text_.size()) {
        // Most text is ASCII: a run of ASCII word characters is taken whole,
        // without decoding it one character at a time.
        size_t end = pos_;
        while (end < text_.size() && IsAsciiWordByte(text_[end])) ++end;
        if (end > pos_) {
            // Past the limit the word is dropped, but it still has to be
            // read to its end.
            const size_t room = kMaxWordBytes + 1 - std::min(word->size(), kMaxWordBytes + 1);
            const size_t kept = word->size();
            word->append(text_.substr(pos_, std::min(end - pos_, room)));
            for (size_t i = kept; i < word->size(); ++i) (*word)[i] = FoldAscii((*word)[i]);
            pos_ = end;
            if (pos_ == text_.size()) break;
        }
        const char32_t ch = NextCodePoint(text_, &pos_);
        if (IsWordChar(ch)) {
            if (word->size() <= kMaxWordBytes) AppendFolded(ch, word);
            continue;
        }
        if (word->empty()) continue;
        if (word->size() <= kMaxWordBytes) return true;
        word->clear();
    }
    return !word->empty() && word->size() <= kMaxWordBytes;
}

std::vector<std::string> SplitQueryWord(std::string_view raw) {
    std::vector<std::string> pieces;
    std::string piece;
    size_t pos = 0;
    while (pos < raw.size()) {
        const char32_t ch = NextCodePoint(raw, &pos);
        if (ch == '*') {
            piece.push_back('*');
        } else if (IsWordChar(ch)) {
            AppendFolded(ch, &piece);
        } else if (!piece.empty()) {
            pieces.push_back(std::move(piece));
            piece.clear();
        }
    }
    if (!piece.empty()) pieces.push_back(std::move(piece));
    return pieces;
}

}  // namespace fw
