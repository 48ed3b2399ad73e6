// HtmlScanner: the one table-driven scanner every HTML pass is built on.
//
// Pages are never parsed into a tree. The scanner recognises the handful of
// tags and attributes that carry links and calls one virtual action for each
// construct; the rest of the page goes to OnText. A pass (link extraction,
// the link-rewriting passes, bookmark import) derives from it and overrides
// only the actions it needs. In this class every action does nothing, so text
// handed to an action that a pass does not override is left out of that
// pass's output.
//
// Matching is longest-match and ignores case in tag and attribute words; an
// attribute is found anywhere inside its tag, also as the end of a longer word
// (xsrc counts as src, data-src as src). A style attribute is found in any
// tag but meta, link, base, param, script and style, except where it stands
// before the link attribute of a frame, iframe, body, table, td, tr or form
// tag (the rule for that attribute spans it). Text-taking actions receive
// the matched text itself, valid only during the call: nothing beyond the
// current token is copied.
//
// Input is untrusted. NUL bytes and invalid UTF-8 are scanned as ordinary
// bytes. Tags, values and strings of any length are safe: a construct longer
// than the input window (1 MiB without a ">", see ScannerInput) is seen in
// pieces, and the words that open a tag-long match never look past the next
// "<", so scanning time stays linear in the page size.
//
// Not thread-safe; use one scanner per thread. A scanner can run many scans.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#ifndef FW_HTML_SCANNER_GENERATED
#undef yyFlexLexer
#define yyFlexLexer HtmlFlexLexer
#include <FlexLexer.h>
#undef yyFlexLexer
#endif

#include "engine/content/scanner_input.h"

namespace fw {

class HtmlScanner : public HtmlFlexLexer {
  public:
    HtmlScanner();
    ~HtmlScanner() override;
    HtmlScanner(const HtmlScanner&) = delete;
    HtmlScanner& operator=(const HtmlScanner&) = delete;

    // Scans the file at `path` from its start. False when it cannot be opened
    // or read; the actions called until then stand.
    bool ScanFile(const std::string& path);

    // Scans `page`, which must stay valid during the call. False only on an
    // internal scanner failure.
    bool ScanText(std::string_view page);

    // Where Emit writes; nullptr (the default) discards. Not owned.
    void set_output(std::ostream* out) { output_ = out; }
    std::ostream* output() const { return output_; }

    // Bytes a construct may span without a ">" before it is cut, and the
    // largest single read (tests use small ones). REQUIRES: both > 0.
    void set_input_window(size_t bytes, size_t max_read = SIZE_MAX) {
        input_.set_window(bytes);
        input_.set_max_read(max_read);
    }

  protected:
    // Writes `text` to the output stream, when there is one. Passes that write
    // the page back out call it from their actions.
    void Emit(std::string_view text);

    // The actions, in the order of the scanner's table. Those taking text
    // receive the matched text; the others mark where a construct starts or
    // ends, next to the OnText of its own text.

    // The href value of an anchor (and of area and any other tag beginning
    // with "a" that has no rule of its own).
    virtual void OnHref(std::string_view value);
    // An onclick, onmouseover or onmouseout value inside such a tag.
    virtual void OnEventAttribute(std::string_view value);
    // A whole meta tag, "<" to ">".
    virtual void OnMeta(std::string_view tag);
    // The src value of a frame or iframe (a blank before it reaches no action).
    virtual void OnFrameSource(std::string_view value);
    // The src, lowsrc, dynsrc or poster value of an image, embed, video,
    // audio, source, track, bgsound or input tag (also data-src and the
    // like, as the end of a longer word); the data value of an object tag;
    // or a quoted string (quotes included) in a script or param.
    virtual void OnSource(std::string_view value);
    virtual void OnAltText(std::string_view value);
    // The background value of a body, table, td or tr tag.
    virtual void OnBackground(std::string_view value);
    // Everything no other action takes.
    virtual void OnText(std::string_view text);
    // A base tag: its start up to the href value, the value, and its ">".
    // What lies around the value in the tag reaches no action.
    virtual void OnBaseTag(std::string_view text);
    virtual void OnBaseHref(std::string_view value);
    virtual void OnBaseEnd(std::string_view text);
    virtual void OnAnchorEnd();    // after the anchor tag's ">"
    virtual void OnAnchorClose();  // before "</a>"
    // Before "<img", "<embed", "<video", "<audio", "<source" or "<track".
    virtual void OnImageStart();
    virtual void OnImageEnd();  // after that tag's ">"
    // Before "<object" (false) or "<applet" (true).
    virtual void OnObjectStart(bool applet);
    virtual void OnObjectEnd();    // after the object or applet tag's ">"
    virtual void OnScriptStart();  // before "<script" or "<style"
    virtual void OnScriptEnd();    // after "</script>" or "</style>"
    // The codebase and code values of an object or applet tag.
    virtual void OnCodebase(std::string_view value);
    virtual void OnCode(std::string_view value);
    // The action value of a form tag.
    virtual void OnFormAction(std::string_view value);
    // A whole link tag, "<" to ">".
    virtual void OnLinkTag(std::string_view tag);
    // The srcset (or data-srcset) value of an image, source or other tag
    // that OnImageStart announces: candidate URLs with their descriptors and
    // commas, as written (see source_set.h).
    virtual void OnSourceSet(std::string_view value);
    // Style sheet text: the value of a style attribute, or a run of the text
    // of a style block (between the start tag's ">" and "</style>"). Runs
    // end at "<" or ">", so a block may come in several calls.
    virtual void OnStyleText(std::string_view text);

  private:
    // Generated from html_scanner.l.
    int yylex() override;
    int LexerInput(char* buf, int max_size) override;
    void LexerOutput(const char* buf, int size) override;
    void LexerError(const char* msg) override;
    int yywrap() override;

    bool Run();
    void ResetScanState();
    // Starts reading a style attribute's value in `condition`, returning to
    // the current condition after it.
    void StyleValue(int condition);
    std::string_view Token() const { return {yytext, static_cast<size_t>(yyleng)}; }
    // Called from a rule that matched one character: extends the token over
    // every following character up to the first of `stops` (and over that
    // one too when it is a ">" and `with_gt`) or the end of what is buffered,
    // and returns it. Runs cut at the buffer's end go on in the next token.
    std::string_view RunOn(const char* stops, bool with_gt);

    ScannerInput input_;
    std::ostream* output_ = nullptr;
    int style_return_ = 0;  // the condition a style attribute's tag is scanned in
};

}  // namespace fw
