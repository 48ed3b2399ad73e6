// TitleScanner: finds the text of a page's first title element.
//
// The title starts after "<title>" (any case, blanks allowed around the word
// and after the ">") and runs to the next "<", line feed or NUL. It is returned as
// written: not decoded, not trimmed at its end, and cut to kMaxTitleBytes
// (never inside a UTF-8 sequence), since the store keeps far less.
#pragma once

#include <string>
#include <string_view>

#ifndef FW_TITLE_SCANNER_GENERATED
#undef yyFlexLexer
#define yyFlexLexer TitleFlexLexer
#include <FlexLexer.h>
#undef yyFlexLexer
#endif

#include "engine/content/scanner_input.h"

namespace fw {

class TitleScanner : public TitleFlexLexer {
  public:
    static constexpr size_t kMaxTitleBytes = 1024;

    TitleScanner();
    ~TitleScanner() override;
    TitleScanner(const TitleScanner&) = delete;
    TitleScanner& operator=(const TitleScanner&) = delete;

    // The first title of the file or text; empty when there is none or the
    // file cannot be opened. Scanning stops at the end of that title.
    std::string ScanFile(const std::string& path);
    std::string ScanText(std::string_view page);

  private:
    // Generated from title_scanner.l.
    int yylex() override;
    int LexerInput(char* buf, int max_size) override;
    void LexerOutput(const char* buf, int size) override;
    void LexerError(const char* msg) override;
    int yywrap() override;

    std::string Run();
    // Extend the token just matched up to the first of `scan_set`, or over
    // a run of "<" but its last, which may begin the title.
    void SkipTo(const char* scan_set);
    void SkipLessThans();
    void EndTokenAt(const char* end);
    void Append(std::string_view text);

    ScannerInput input_;
    std::string title_;
    bool title_full_ = false;  // the title reached kMaxTitleBytes
};

// The title of the stored page `file`; empty when it has none.
std::string TitleOf(const std::string& file);

}  // namespace fw
